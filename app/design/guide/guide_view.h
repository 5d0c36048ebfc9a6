#pragma once

#include <QMultiMap>
#include <QPointer>
#include <QScrollArea>
#include <QSet>
#include <QString>
#include <string>

#include "app/design/guide/guide_content.h"

namespace velmora {

class FoldBinding;

// The guide's scrolling content: header, steps, connection kinds, foldable topics and footer.
// Main thread only. Every key is looked up when the content is built; rebuild() looks them up again.
class GuideView : public QScrollArea {
    Q_OBJECT
  public:
    explicit GuideView(QWidget* parent = nullptr);

    // Displayed titles of the expanded topics; a topic is known by its displayed title.
    const QSet<QString>& open() const { return open_; }
    bool isOpen(const QString& identity) const { return open_.contains(identity); }
    void setOpen(const QString& identity, bool expanded);

    // Builds the content again from the current tables, keeping the open topics.
    void rebuild();

  signals:
    void openChanged();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    QWidget* header();
    QWidget* steps();
    QWidget* connections();
    QWidget* topics();
    QWidget* footer();
    QWidget* topicBody(const guide::Topic& topic);
    QWidget* item(const guide::Item& item);

    // The row builders of the content.
    QWidget* key(const QString& cap, const QString& description);
    QWidget* step(int number, guide::StepSymbol symbol, const QString& title, const QString& text);
    QWidget* bullet(const guide::TextSpec& text);
    QWidget* numbered(int number, const std::string& key);
    QWidget* connRow(const QString& title, const QString& text);
    QWidget* more(const QString& identity, const QString& title, QWidget* content);

    QSet<QString> open_;
    // The fold state of each topic now on screen, by identity; they follow `open_`. Topics with equal titles
    // share an identity and fold together.
    QMultiMap<QString, QPointer<FoldBinding>> bindings_;
};

}  // namespace velmora
