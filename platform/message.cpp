#include "platform/message.h"

namespace platform {

bool PostMessage(WindowHandle target, std::uint32_t msg, WParam w, LParam l) {
  return target != nullptr && target->Post(msg, w, l);
}

}  // namespace platform
