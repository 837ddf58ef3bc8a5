#pragma once
// Qt's own texts (dialog buttons, the folder and colour dialogs) in Chinese, like the program.

class QCoreApplication;
class QTranslator;

namespace quill {

// Loads Qt's Simplified Chinese translations into `app` and returns the installed translator
// (owned by `app`); nullptr when they are not installed.
QTranslator* installQtTranslations(QCoreApplication& app);

} // namespace quill
