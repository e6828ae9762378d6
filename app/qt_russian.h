#pragma once
// Qt's own texts in Russian: the standard buttons, the file and print
// dialogs, the context menus of edits, the command line's help.
class QCoreApplication;

// Installs qtbase's Russian catalogue on app, looked for beside the program
// first (where the Windows package puts it), then where Qt keeps its
// translations. False when neither has it: Qt's texts stay English.
bool loadQtRussian(QCoreApplication& app);
