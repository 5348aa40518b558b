#include "codecs/mp3/mp3_engine.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

#include "platform/dynlib.h"

namespace {

constexpr auto kReadyTimeout = std::chrono::milliseconds(5000);
constexpr int kRoomOffered = 32768;
constexpr const char* kWindowName = "mp3decmsgwnd";

void Nothing() {}
void NothingFor(platform::MessageTarget*) {}
void SetNothing(int) {}
int Zero() { return 0; }
int ZeroFor(int) { return 0; }

// The analysis hooks: the module may call them; they do nothing.
void VisInit(int, int) {}
void VisAddPcm(void*, int, int, int) {}
void VisAdd(void*, int, int) {}
int Vis2GetMode(int*, int*) { return 0; }
void Vis2Add(void*, int) {}
void Vis2SetInfo(int, int) {}
int DspProcess(short*, int, int, int, int) { return 0; }

}  // namespace

Mp3Engine& Mp3Engine::Instance() {
  // Never destroyed: the module's thread may still call the output while the process exits.
  static Mp3Engine* const engine = new Mp3Engine;
  return *engine;
}

Mp3Engine::Mp3Engine()
    : output_{
          .version = 0x10,
          .description = "Wavelathe PCM host",
          .id = 33,
          .host_window = nullptr,
          .host_instance = nullptr,
          .configure = NothingFor,
          .about = NothingFor,
          .init = Nothing,
          .quit = Nothing,
          .open = &Mp3Engine::Open,
          .close = &Mp3Engine::Close,
          .write = &Mp3Engine::Write,
          .can_write = &Mp3Engine::CanWrite,
          .is_playing = Zero,
          .pause = ZeroFor,
          .set_volume = SetNothing,
          .set_pan = SetNothing,
          .flush = &Mp3Engine::Flush,
          .get_output_time = &Mp3Engine::OutputTime,
          .get_written_time = &Mp3Engine::OutputTime,
      } {}

bool Mp3Engine::Init() {
  std::lock_guard lock(initMutex_);
  if (started()) return true;
  if (!window_) {
    window_ = platform::CreateUiMessageTarget(
        kWindowName,
        [this](std::uint32_t msg, platform::WParam, platform::LParam) { OnWindowMessage(msg); });
  }
  if (!window_) return false;
  if (module_ == nullptr) {
    platform::LibraryHandle library = platform::LoadLibrary(mp3module::kModuleFileName);
    auto factory = reinterpret_cast<mp3module::Factory>(
        platform::GetProcAddress(library, mp3module::kFactoryName));
    module_ = factory != nullptr ? factory() : nullptr;
    if (module_ == nullptr) {
      if (library != nullptr) platform::FreeLibrary(library);
      return false;
    }
  }
  module_->output = &output_;
  module_->set_info = &Mp3Engine::SetInfo;
  module_->vis_init = VisInit;
  module_->vis_deinit = Nothing;
  module_->vis_add_pcm = VisAddPcm;
  module_->vis_get_mode = Zero;
  module_->vis_add = VisAdd;
  module_->vis2_add_pcm = VisAddPcm;
  module_->vis2_get_mode = Vis2GetMode;
  module_->vis2_add = Vis2Add;
  module_->vis2_set_info = Vis2SetInfo;
  module_->dsp_is_active = Zero;
  module_->dsp_process = DspProcess;
  module_->host_instance = platform::ProgramHandle();
  module_->host_window = window_.get();
  module_->init();
  started_.store(true, std::memory_order_release);
  return true;
}

bool Mp3Engine::Claim(bool probe, const void* owner) {
  {
    std::lock_guard lock(mutex_);
    if (claimed_) return false;
    claimed_ = true;
    probing_ = probe;
    owner_ = nullptr;
  }
  // A finished play's thread may still be returning from its last calls, none of which can
  // reach a target any more: joining it cannot wait on this thread.
  module_->stop();
  {
    std::lock_guard lock(mutex_);
    owner_ = owner;
    outputClosed_ = false;
    cancelRequested_ = false;
  }
  offerRoom_ = false;
  readyEvent_.Wait(std::chrono::milliseconds(0));
  return true;
}

void Mp3Engine::Unclaim() {
  std::lock_guard lock(mutex_);
  claimed_ = false;
  probing_ = false;
  changed_.notify_all();
}

Mp3Engine::Result Mp3Engine::Probe(const std::string& path, MusicInfo* info) {
  if (!Claim(true, nullptr)) return Result::kBusy;
  probeInfo_ = info;
  bool ok = module_->play(path.c_str()) == 0;
  if (ok) {
    ok = readyEvent_.Wait(kReadyTimeout);
    const int length = module_->get_length();
    ok = ok && length >= 0;
    if (ok) info->durationMs = length;
    // No room was offered during the probe, so the play waits in can_write for this stop.
    module_->stop();
  }
  probeInfo_ = nullptr;
  Unclaim();
  return ok ? Result::kOk : Result::kFailed;
}

Mp3Engine::Result Mp3Engine::StartDecode(const void* owner, const std::string& path,
                                         Music* target) {
  if (!Claim(false, owner)) return Result::kBusy;
  auto decode = std::make_shared<CloseOnce>();
  decode->Arm(target);
  {
    std::lock_guard lock(mutex_);
    decode_ = decode;
  }
  if (module_->play(path.c_str()) != 0 || !readyEvent_.Wait(kReadyTimeout)) {
    // Room is offered only below, so the play never reached the target: the join is safe.
    module_->stop();
    decode->Arm(nullptr);
    Unclaim();
    return Result::kFailed;
  }
  offerRoom_ = true;
  return Result::kOk;
}

void Mp3Engine::Cancel(const void* owner) {
  std::shared_ptr<CloseOnce> decode;
  {
    std::lock_guard lock(mutex_);
    if (!claimed_ || probing_ || owner_ != owner) return;
    cancelRequested_ = true;
    // A play that has closed its output calls nothing more: the target is closed here.
    // Otherwise the module's thread sees the request at its next call and closes it.
    if (outputClosed_) decode = decode_;
  }
  if (decode) CloseTarget(decode);
}

void Mp3Engine::Release(const void* owner) {
  Cancel(owner);
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !claimed_ || probing_ || owner_ != owner; });
}

void Mp3Engine::CloseTarget(const std::shared_ptr<CloseOnce>& decode) {
  if (!decode->Close()) return;
  std::lock_guard lock(mutex_);
  claimed_ = false;
  changed_.notify_all();
}

void Mp3Engine::StopFromModule() {
  // On the module's thread stop only asks the play to end; it then closes the output.
  module_->stop();
}

void Mp3Engine::OnWindowMessage(std::uint32_t msg) {
  if (msg != mp3module::kEndOfStreamMessage) return;
  std::shared_ptr<CloseOnce> decode;
  {
    std::lock_guard lock(mutex_);
    if (claimed_ && !probing_ && outputClosed_) decode = decode_;
  }
  if (decode) CloseTarget(decode);
}

int Mp3Engine::Open(int rate, int channels, int bits, int, int) {
  Mp3Engine& e = Instance();
  e.outRate_ = rate;
  e.outChannels_ = channels;
  e.outBits_ = bits;
  e.bytesWritten_ = 0;
  e.flushTimeMs_ = 0;
  if (e.probeInfo_ != nullptr) e.probeInfo_->bitsPerSample = bits;
  return 0;
}

void Mp3Engine::SetInfo(int bitrateKbps, int, int channels, int) {
  Mp3Engine& e = Instance();
  if (bitrateKbps <= 0 || e.probeInfo_ == nullptr) return;
  e.probeInfo_->channels = channels;
  e.probeInfo_->sampleRate = e.outRate_;
  e.probeInfo_->bitrate = bitrateKbps;
}

int Mp3Engine::CanWrite() {
  Mp3Engine& e = Instance();
  e.readyEvent_.Set();
  if (e.cancelRequested_) {
    e.StopFromModule();
    return 0;
  }
  return e.offerRoom_ ? kRoomOffered : 0;
}

int Mp3Engine::Write(char* buffer, int length) {
  Mp3Engine& e = Instance();
  if (length <= 0) return 0;
  if (e.cancelRequested_) {
    e.StopFromModule();
    return 0;
  }
  Music* target = e.decode_ ? e.decode_->Target() : nullptr;
  if (target != nullptr &&
      !target->WriteSamples(reinterpret_cast<const std::uint8_t*>(buffer), length)) {
    target->writeFailed = true;
    e.CloseTarget(e.decode_);
    e.StopFromModule();
  }
  e.bytesWritten_ += length;
  std::this_thread::yield();
  return 0;
}

void Mp3Engine::Close() {
  Mp3Engine& e = Instance();
  std::shared_ptr<CloseOnce> decode;
  {
    std::lock_guard lock(e.mutex_);
    e.outputClosed_ = true;
    if (e.cancelRequested_) decode = e.decode_;
  }
  if (decode) e.CloseTarget(decode);
}

void Mp3Engine::Flush(int timeMs) { Instance().flushTimeMs_ = timeMs; }

int Mp3Engine::OutputTime() {
  const Mp3Engine& e = Instance();
  const std::int64_t perMs = std::int64_t{e.outRate_} * e.outChannels_;
  const std::int64_t bytes = e.bytesWritten_;
  std::int64_t ms = perMs > 0 ? bytes / perMs * 1000 + bytes % perMs * 1000 / perMs : 0;
  if (e.outBits_ == 16) ms /= 2;
  return static_cast<int>(std::min<std::int64_t>(e.flushTimeMs_ + ms, INT_MAX));
}
