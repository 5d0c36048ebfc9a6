#pragma once

#include <QObject>
#include <memory>

#include "app/model/app_model.h"

namespace velmora {

// The model as the widgets see it: changed() is emitted on the GUI thread after the model published a
// change (the model already folds a burst of changes into one publication), and state() reads the published
// state. The model's main executor must be the GUI thread's (MainThreadExecutor). Main thread only.
class ModelAdapter : public QObject {
    Q_OBJECT
  public:
    explicit ModelAdapter(std::shared_ptr<AppModel> model, QObject* parent = nullptr)
        : QObject(parent),
          model_(std::move(model)),
          subscription_(model_->observe([this] { emit changed(); })) {}

    AppModel& model() const { return *model_; }
    const PublishedState& state() const { return model_->state(); }

  signals:
    void changed();

  private:
    std::shared_ptr<AppModel> model_;
    Subscription subscription_;
};

}  // namespace velmora
