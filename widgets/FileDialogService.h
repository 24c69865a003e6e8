#pragma once
// Every file dialog of the program goes through here, so that tests can answer it.

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace velmora {

struct SaveFileRequest {
    QString caption;
    QString suggestedName;  // a file name, without folder
    QStringList filters;    // "CSV 文件 (*.csv)"; the first is chosen at first
};

class FileDialogService {
  public:
    // The path the user chose, with the suffix of the chosen filter added when the name has
    // none; empty when the dialog was cancelled. Call on the UI thread.
    static QString getSaveFileName(QWidget* parent, const SaveFileRequest& request);

    // Replaces the real dialog (an empty handler restores it); the handler returns the path.
    static void setHandler(std::function<QString(const SaveFileRequest&)> handler);
};

}  // namespace velmora
