#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace velmora {

// Asks the user for a file through the desktop's standard dialog: one to read, or a name to
// write (the suggested one filled in). Empty when the user cancelled.
QString ChooseFileToOpen(QWidget *parent, const QString &caption, const QString &filter);
QString ChooseFileToSave(QWidget *parent, const QString &caption, const QString &suggested,
                         const QString &filter);

// Tests answer instead of a dialog (nullptr restores the dialog).
using FileChooserHook = std::function<QString(bool save)>;
void SetFileChooserForTests(FileChooserHook hook);

} // namespace velmora
