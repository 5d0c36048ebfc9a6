#pragma once

#include <QWidget>

namespace velmora {

class CentredText;
class Executor;
class MirrorHUD;
class MirrorStateLayer;
class MirrorStatusPill;

// One strip along the top of the picture: the amber "control paused" strip (with its hand, cut after two
// lines) or the black notice strip (as many centred lines as the text needs). Strips take no clicks.
class MirrorStrip : public QWidget {
    Q_OBJECT
  public:
    enum class Kind { paused, notice };
    MirrorStrip(Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return kind_; }
    CentredText* label() const { return label_; }
    void setText(const QString& text);
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    Kind kind_;
    CentredText* label_;
};

// What lies over the picture, exactly the video's rectangle: the state layer at the bottom and the paused and
// notice strips at the top edge (paused first). The status pill it makes is shown by the container in the
// window's chrome, off the picture, where it covers none of the phone's own status bar.
// While it blocks the mouse (every phase but live) clicks go to the state layer; otherwise every click,
// drag and wheel turn falls through to the video view beneath. It never takes the keyboard focus.
class MirrorOverlay : public QWidget {
    Q_OBJECT
  public:
    MirrorOverlay(MirrorHUD& hud, Executor& executor, QWidget* parent = nullptr);
    ~MirrorOverlay() override;

    bool blocksMouse() const { return blocks_; }
    void setBlocksMouse(bool blocks);

    MirrorStateLayer* stateLayer() const { return state_; }
    MirrorStatusPill* pill() const { return pill_; }
    MirrorStrip* pausedStrip() const { return paused_; }
    MirrorStrip* noticeStrip() const { return notice_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void refresh();
    void place();

    MirrorHUD& hud_;
    int subscription_;
    bool blocks_ = false;
    MirrorStateLayer* state_;
    MirrorStrip* paused_;
    MirrorStrip* notice_;
    MirrorStatusPill* pill_;
};

}  // namespace velmora
