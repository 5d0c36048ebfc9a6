#include "live/drag_peer.h"

#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace velmora::live {
namespace {

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

class FileIcon : public QWidget {
  public:
    explicit FileIcon(QString path) : path_(std::move(path)) {
        setWindowTitle(QStringLiteral("velmora drag peer"));
        resize(600, 400);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(0xf4, 0xf1, 0xe8));
        p.setPen(QColor(0x30, 0x30, 0x30));
        p.drawRect(QRect(kPeerFile - QPoint(16, 20), QSize(32, 40)));
        p.drawText(QRect(kPeerFile + QPoint(-100, 24), QSize(200, 20)), Qt::AlignCenter,
                   QFileInfo(path_).fileName());
        // The first paint follows the server's first expose: the window is on the screen.
        if (!shown_) say(("ready " + QByteArray::number(winId())).constData());
        shown_ = true;
    }
    void mousePressEvent(QMouseEvent* event) override { pressedAt_ = event->position().toPoint(); }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!(event->buttons() & Qt::LeftButton) ||
            (event->position().toPoint() - pressedAt_).manhattanLength() < QApplication::startDragDistance())
            return;
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(path_)});
        // Qt deletes the drag once the target has fetched the files, which may be after exec returns.
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        say("dragging");
        say(drag->exec(Qt::CopyAction) == Qt::CopyAction ? "dropped" : "refused");
    }

  private:
    QString path_;
    QPoint pressedAt_;
    bool shown_ = false;
};

}  // namespace

int dragPeer(int argc, char** argv, const char* path) {
    QApplication app(argc, argv);
    FileIcon icon(QString::fromLocal8Bit(path));
    icon.move(100, 200);
    icon.show();
    return app.exec();
}

}  // namespace velmora::live
