#include "app/DocumentFolder.h"

#include <QDir>
#include <QFileInfo>

QString FindDocumentFolder(const QString &programFolder) {
    const QDir program(programFolder);
    const QString beside = program.filePath(QStringLiteral("doc"));
    // Set by the build from the install layout, so a changed documents folder is still found.
    const QString installed = QDir::cleanPath(program.filePath(QStringLiteral(GABBLER_DOC_FROM_BIN)));
    for (const QString &folder : {beside, installed}) {
        if (QFileInfo(folder + QStringLiteral("/manual.html")).isFile()) {
            return folder;
        }
    }
    return beside;
}
