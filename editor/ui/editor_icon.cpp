#include "editor/ui/editor_icon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <QtGlobal>

// The drawing is a resource of this static library: the linker keeps it only when something
// refers to its initialiser, and Q_INIT_RESOURCE must be used outside any namespace.
static void initEditorIconResource() {
    Q_INIT_RESOURCE(editor_icon);
}

namespace ui {

QIcon editorIcon() {
    initEditorIconResource();
    // Rendered here rather than handed to QIcon as a file: QIcon reads SVG only through an
    // optional image plug-in, which an installation may lack; the renderer is linked in.
    QSvgRenderer renderer(QStringLiteral(":/icons/probe-editor.svg"));
    QIcon icon;
    if (!renderer.isValid()) return icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace ui
