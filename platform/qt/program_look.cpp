#include "platform/qt/program_look.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstring>

#include "platform/qt/fonts.h"
#include "res/platform_texts.h"

namespace platform {

namespace {

// The kinds of files the file dialogs list, which Qt's own catalogue does not translate.
class FileKindTranslator : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* sourceText, const char*, int) const override {
    if (context == nullptr || sourceText == nullptr ||
        std::strcmp(context, "QAbstractFileIconProvider") != 0)
      return {};
    for (const auto& kind : texts::kFileKinds)
      if (std::strcmp(sourceText, kind[0]) == 0) return QString::fromUtf8(kind[1]);
    return {};
  }
};

}  // namespace

bool InstallProgramLook(QApplication& app) {
  QApplication::setFont(ProgramFont());
  const QLocale chinese(QLocale::Chinese, QLocale::China);
  QLocale::setDefault(chinese);
  QApplication::installTranslator(new FileKindTranslator(&app));
  auto* translator = new QTranslator(&app);
  if (!translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QApplication::installTranslator(translator);
  return true;
}

}  // namespace platform
