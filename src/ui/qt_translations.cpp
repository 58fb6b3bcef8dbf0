#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstring>

namespace {

QString g_loadedFrom;

// Qt's Polish catalogue says "Zachowaj" for Save; the program's own texts
// ("Zapisz obraz...", "Zapisz dane...") and Polish desktop programs say
// "Zapisz". Consulted before the catalogue, for these texts only.
class SaveWording : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* sourceText, const char*,
                      int) const override {
        struct Entry {
            const char* context;
            const char* source;
            const char* text;  // UTF-8
        };
        static const Entry kEntries[] = {
            {"QPlatformTheme", "Save", "Zapisz"},
            {"QPlatformTheme", "Save All", "Zapisz wszystko"},
            {"QPlatformTheme", "Don't Save", "Nie zapisuj"},
            {"QFileDialog", "&Save", "&Zapisz"},
            {"QFileDialog", "Save As", "Zapisz jako"},
        };
        if (!context || !sourceText) return QString();
        for (const Entry& e : kEntries) {
            if (std::strcmp(context, e.context) == 0 && std::strcmp(sourceText, e.source) == 0) {
                return QString::fromUtf8(e.text);
            }
        }
        return QString();
    }

    bool isEmpty() const override { return false; }
};

}  // namespace

bool InstallPolishQt() {
    if (!g_loadedFrom.isEmpty()) return true;
    auto* app = QCoreApplication::instance();
    if (!app) return false;
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    const QStringList folders{
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
    for (const QString& folder : folders) {
        auto* translator = new QTranslator(app);
        if (translator->load(QStringLiteral("qtbase_pl"), folder) &&
            QCoreApplication::installTranslator(translator)) {
            g_loadedFrom = translator->filePath();
            // Installed last, so asked first.
            QCoreApplication::installTranslator(new SaveWording(app));
            return true;
        }
        delete translator;
    }
    return false;
}

QString PolishQtTranslationsFile() {
    return g_loadedFrom;
}
