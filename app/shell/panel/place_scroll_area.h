#pragma once

#include <QPointer>
#include <QScrollArea>
#include <vector>

namespace velmora {

// A scroll area that keeps the person's place while its content changes around it. The place is the widget
// the view's top edge passes through (with its parents, for when it goes away), or the content's top while
// the view is at the top; it is taken again whenever the view scrolls, by the person or on purpose, but not
// when a shorter content merely clamped the value. keepPlace(), called once the content's layout is done,
// scrolls by as much as a part above the place grew or shrank, so the place stands where it stood (clamped
// when the content really became too short, and found again when it grows back).
//
// Focus that a hidden, disabled or rebuilt part passes on goes on without scrolling to wherever it lands; Tab
// still brings the next control into view. Main thread only.
class PlaceScrollArea : public QScrollArea {
    Q_OBJECT
  public:
    explicit PlaceScrollArea(QWidget* parent = nullptr);

    void keepPlace();
    // Scrolls to the top of the content and keeps the place there.
    void showTop();

  protected:
    bool focusNextPrevChild(bool next) override;

  private:
    struct Mark {
        QPointer<QWidget> widget;
        int top;  // the widget's top, from the view's top
    };

    void takePlace();
    void scrollTo(int value);

    std::vector<Mark> place_;  // the widget at the place first, then its parents up to the content
    int lastValue_ = 0;
    bool scrolling_ = false;  // the value moves by keepPlace or showTop
};

}  // namespace velmora
