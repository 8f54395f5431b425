#include "Icons.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace Icons {

namespace {
QString path(const QString& name) {
    static bool once = (initIconResources(), true);
    (void)once;
    return ":/icons/" + name + ".svg";
}
} // namespace

bool Exists(const QString& name) {
    return QFile::exists(path(name));
}

QPixmap Pixmap(const QString& name, const QColor& color, int size) {
    static QHash<QString, QPixmap> cache;
    QString key = QString("%1|%2|%3").arg(name, color.name(QColor::HexArgb)).arg(size);
    auto it = cache.find(key);
    if (it != cache.end()) return *it;
    QSvgRenderer r(path(name));
    if (!r.isValid()) return QPixmap();
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    r.render(&p);
    // The pictures are drawn in white: paint the colour through their shape.
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(pm.rect(), color);
    p.end();
    cache.insert(key, pm);
    return pm;
}

} // namespace Icons
