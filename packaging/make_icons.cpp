// Writes the product icon for the desktop's icon theme: DIR/scalable/ID.svg and
// DIR/NxN/ID.png for each size given. Run by the build, never installed.
#include "app/AppIcons.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fputs("usage: quorvis-icons DIR ID SIZE...\n", stderr);
        return 2;
    }
    const QDir out(args[0]);
    const QString &id = args[1];

    out.mkpath("scalable");
    QFile svg(out.filePath("scalable/" + id + ".svg"));
    const QByteArray text = AppIcons::ProductSvg();
    if (!svg.open(QIODevice::WriteOnly) || svg.write(text) != text.size()) {
        std::fprintf(stderr, "quorvis-icons: cannot write %s\n", qPrintable(svg.fileName()));
        return 1;
    }
    for (const QString &arg : args.mid(2)) {
        const int size = arg.toInt();
        const QString folder = arg + 'x' + arg;
        const QString path = out.filePath(folder + '/' + id + ".png");
        if (size <= 0 || !out.mkpath(folder) || !AppIcons::ProductPixmap(size).save(path, "PNG")) {
            std::fprintf(stderr, "quorvis-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
