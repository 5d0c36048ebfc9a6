#include "app/entry/snapshots.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <memory>

#include "app/design/appearance.h"
#include "app/design/brand.h"
#include "app/design/guide/guide_view.h"
#include "app/design/theme.h"
#include "app/entry/snapshots_table.h"
#include "app/links/installer/phone_installer.h"
#include "app/mirror/snapshots/mirror_snapshots.h"
#include "app/shell/installer/phone_install_section.h"
#include "app/shell/main_executor.h"
#include "app/shell/pairing/pairing_model.h"
#include "app/shell/pairing/pairing_view.h"
#include "app/shell/panel/menu_panel.h"
#include "core/log/velmora_log.h"
#include "core/settings/memory_settings.h"

namespace velmora::Snapshots {
namespace {

// Delivers what the widgets posted to themselves (layout requests, the model's publications) without
// running timers, so a spinner stays on its first spoke however slow the machine is.
void deliverPosted() {
    for (int round = 0; round < 8; ++round)
        QCoreApplication::sendPostedEvents();
}

// The preview models keep their peer file in the temporary folder: for the run it is a new empty one, so a
// file someone left in the shared one pairs nothing in the pictures. The family of the text is fixed too.
class RunSurroundings {
  public:
    RunSurroundings() : hadTmp_(qEnvironmentVariableIsSet("TMPDIR")), tmp_(qgetenv("TMPDIR")) {
        if (private_.isValid()) qputenv("TMPDIR", QFile::encodeName(private_.path()));
        // The run touches none of the user's files, the log included: its lines go to the private folder.
        // Without that folder they go where no folder can be made, and are dropped.
        VelmoraLog::setFolder(private_.isValid() ? QFile::encodeName(private_.path()).toStdString() + "/log"
                                                 : std::string("/dev/null/velmora"));
        QFont fixed = font_;
        fixed.setFamily(QStringLiteral("DejaVu Sans"));
        QApplication::setFont(fixed);
    }
    ~RunSurroundings() {
        VelmoraLog::flush();
        VelmoraLog::setFolder(log_);
        QApplication::setFont(font_);
        hadTmp_ ? qputenv("TMPDIR", tmp_) : qunsetenv("TMPDIR");
    }
    RunSurroundings(const RunSurroundings&) = delete;
    RunSurroundings& operator=(const RunSurroundings&) = delete;

  private:
    const bool hadTmp_;
    const QByteArray tmp_;
    const QFont font_ = QApplication::font();
    const std::filesystem::path log_ = VelmoraLog::file().parent_path();
    QTemporaryDir private_;
};

// The installer's section alone, over an installer of its own that has no adb, 14 from every edge.
bool section(const QString& file, bool open, bool adbMissing, int unauthorized,
             const std::shared_ptr<Executor>& main) {
    PhoneInstaller installer(std::nullopt, main);
    if (unauthorized > 0) installer.setPreview({}, unauthorized, InstallStatus::idle());
    PhoneInstallSection::startOpen = open;
    auto* view = new QWidget();
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(14, 14, 14, 14);
    auto* shown = new PhoneInstallSection(installer);
    shown->setNothingFound(true);
    shown->setAdbMissing(adbMissing);
    layout->addWidget(shown);
    const bool saved = png(view, 360, file, false);
    PhoneInstallSection::startOpen = false;
    return saved;
}

bool pairing(const QString& file, int left, bool dark) {
    const AppearanceScope appearance(dark);
    PairingModel model("Nimbo A5", "615027", 90, true);
    model.setLeft(left);
    return png(new PairingView(model), 380, file, dark);
}

// The guide with every topic folded, its whole page at once.
bool guide(const QString& file) {
    const AppearanceScope appearance(false);
    auto* view = new GuideView();
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int frame = 2 * view->frameWidth();
    view->setFixedHeight(view->widget()->layout()->totalHeightForWidth(640 - frame) + frame);
    return png(view, 640, file, false);
}

}  // namespace

AppearanceScope::AppearanceScope(bool dark) {
    AppearanceSource::instance().setOverride(dark ? Appearance::dark : Appearance::light);
}

AppearanceScope::~AppearanceScope() {
    AppearanceSource::instance().setOverride(std::nullopt);
}

bool png(QWidget* view, int width, const QString& file, bool dark) {
    const AppearanceScope appearance(dark);
    return hosted(view, width)->grab().save(file, "PNG");
}

std::unique_ptr<QWidget> hosted(QWidget* view, int width) {
    auto host = std::make_unique<QWidget>();
    host->setAttribute(Qt::WA_DontShowOnScreen);
    QPalette palette = host->palette();
    palette.setColor(QPalette::Window, design::resolved(SystemColor::window));
    host->setPalette(palette);
    host->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(host.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    host->setFixedWidth(width);
    host->show();  // not on screen: lays the content out
    deliverPosted();
    layout->activate();
    const int fitting =
        layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : host->sizeHint().height();
    host->setFixedHeight(std::max(40, fitting));
    layout->activate();
    deliverPosted();
    return host;
}

bool menuBarSheet(const QString& file) {
    QImage sheet(1668, 1116, QImage::Format_ARGB32_Premultiplied);
    if (sheet.isNull()) return false;
    sheet.fill(Qt::transparent);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);  // magnified pixels keep hard edges
    struct Band {
        double background, ink;
        bool connected;
    };
    const Band bands[] = {{0.93, 0.0, false}, {0.93, 0.0, true}, {0.16, 1.0, false}, {0.16, 1.0, true}};
    // Four bands fill the sheet from edge to edge, each icon centred in its cell of the band.
    const int band = sheet.height() / 4;
    for (int k = 0; k < 4; ++k) {
        const int top = k * band;
        painter.fillRect(0, top, 1668, band,
                         QColor::fromRgbF(float(bands[k].background), float(bands[k].background),
                                          float(bands[k].background)));
        const QColor ink = QColor::fromRgbF(float(bands[k].ink), float(bands[k].ink), float(bands[k].ink));
        int column = 0;
        for (int scale = 1; scale <= 2; ++scale) {
            for (int points : {16, 18, 22}) {
                const int pixels = points * scale;
                const QImage glyph = Brand::menuBarImage(bands[k].connected, pixels, ink);
                if (glyph.isNull()) continue;
                const int side = pixels * 6 / scale;
                const QRect cell(12 + column * 276 + (264 - side) / 2, top + (band - side) / 2, side, side);
                painter.drawImage(cell, glyph);
                ++column;
            }
        }
    }
    painter.end();
    return sheet.save(file, "PNG");
}

Outcome run(const QString& folder) {
    Outcome out;
    out.folderMade = QDir().mkpath(folder);
    const QDir dir(QDir(folder).absolutePath());
    const RunSurroundings surroundings;
    const auto count = [&out](bool written) { out.failed += written ? 0 : 1; };
    count(menuBarSheet(dir.filePath("icone-barra-de-menus.png")));

    const auto settings = std::make_shared<MemorySettings>();
    const auto main = std::make_shared<MainThreadExecutor>();
    const PanelStage stage(settings, main);
    const std::vector<PanelShot> shots = panelShots();
    for (std::size_t i = 0; i < shots.size(); ++i) {
        if (i == kPanelShotsBeforeSections) {
            count(section(dir.filePath("menu-instalar-sem-adb.png"), true, true, 0, main));
            count(section(dir.filePath("menu-instalar-passos.png"), true, false, 0, main));
            count(section(dir.filePath("menu-instalar-nao-autorizado.png"), false, false, 1, main));
        }
        const PanelShot& shot = shots[i];
        const ShotScope scope(shot, *settings);
        count(stage.shot(dir.filePath(QString::fromStdString(shot.name) + ".png"), shot.dark, shot.setup));
    }

    count(pairing(dir.filePath("dialogo-pareamento.png"), 54, false));
    count(pairing(dir.filePath("dialogo-pareamento-expirado.png"), 0, true));
    count(guide(dir.filePath("guia.png")));
    out.failed += MirrorSnapshots::run(dir.absolutePath().toStdString());
    return out;
}

}  // namespace velmora::Snapshots
