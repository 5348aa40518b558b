#include "platform/qt/fonts.h"

#include <QFont>
#include <QStringList>

namespace platform {

void InstallFontSubstitutions() {
  // The first face gives the metrics and the Latin glyphs; characters it lacks come from the
  // next faces in order.
  const QStringList song = {QStringLiteral("Liberation Sans"), QStringLiteral("AR PL UMing CN"),
                            QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Serif CJK SC")};
  QFont::insertSubstitutions(QStringLiteral("宋体"), song);
  QFont::insertSubstitutions(QStringLiteral("SimSun"), song);
  QFont::insertSubstitutions(
      QStringLiteral("Arial Narrow"),
      {QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Liberation Sans")});
}

QFont ProgramFont() {
  InstallFontSubstitutions();
  QFont font(QStringLiteral("宋体"));
  font.setPointSize(9);
  return font;
}

}  // namespace platform
