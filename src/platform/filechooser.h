#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace velmora {

// Asks the user for a file through the desktop's standard dialog: one to read, or a name to
// write (the suggested one filled in). Empty when the user cancelled.
QString ChooseFileToOpen(QWidget *parent, const QString &caption, const QString &filter);
QString ChooseFileToSave(QWidget *parent, const QString &caption, const QString &suggested,
                         const QString &filter);
// The same with several kinds of file to choose from (";;" between filters): *kind says which
// the user chose, counted from 0.
QString ChooseFileToSave(QWidget *parent, const QString &caption, const QString &suggested,
                         const QStringList &filters, int *kind);

// Tests answer instead of a dialog (nullptr restores the dialog), choosing the kind of file too.
using FileChooserHook = std::function<QString(bool save)>;
void SetFileChooserForTests(FileChooserHook hook, int kind = 0);

} // namespace velmora
