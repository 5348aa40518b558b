#include "platform/qt/fonts.h"

#include <QFont>
#include <QStringList>

namespace platform {

void InstallFontSubstitutions() {
  const QStringList song = {QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
                            QStringLiteral("Noto Serif CJK SC")};
  QFont::insertSubstitutions(QStringLiteral("宋体"), song);
  QFont::insertSubstitutions(QStringLiteral("SimSun"), song);
  QFont::insertSubstitutions(
      QStringLiteral("Arial Narrow"),
      {QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Liberation Sans")});
}

}  // namespace platform
