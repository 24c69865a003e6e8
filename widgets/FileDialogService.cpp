#include "widgets/FileDialogService.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace velmora {

namespace {

std::function<QString(const SaveFileRequest&)>& handler() {
    static std::function<QString(const SaveFileRequest&)> h;
    return h;
}

// "*.csv" of "CSV 文件 (*.csv)".
QString suffixOf(const QString& filter) {
    auto match = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

}  // namespace

void FileDialogService::setHandler(std::function<QString(const SaveFileRequest&)> h) {
    handler() = std::move(h);
}

QString FileDialogService::getSaveFileName(QWidget* parent, const SaveFileRequest& request) {
    if (handler()) return handler()(request);
    QString chosenFilter = request.filters.value(0);
    QString path =
        QFileDialog::getSaveFileName(parent, request.caption, QDir::home().filePath(request.suggestedName),
                                     request.filters.join(QStringLiteral(";;")), &chosenFilter);
    if (path.isEmpty()) return path;
    QString suffix = suffixOf(chosenFilter);
    if (QFileInfo(path).suffix().isEmpty() && !suffix.isEmpty()) path += QLatin1Char('.') + suffix;
    return path;
}

}  // namespace velmora
