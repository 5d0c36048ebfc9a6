#pragma once

#include <QWidget>

#include "app/links/installer/phone_installer.h"
#include "app/links/installer/section_choice.h"

class QVBoxLayout;

namespace velmora {

class FoldBinding;

// The panel's section for installing the companion app over the cable. It shows one thing at a time, as
// chooseInstallView decides from the installer's published state; every action goes to the installer or to
// the guide window. The host calls refresh() whenever the installer reports a change, and sets the two
// facts of its own. Main thread only.
class PhoneInstallSection : public QWidget {
    Q_OBJECT
  public:
    // The command that installs adb and the udev rules that let a normal user reach the phone.
    static constexpr const char* installCommand = "sudo apt install adb android-sdk-platform-tools-common";
    // Whether the how-to starts unfolded (the screen-state snapshots set it).
    static inline bool startOpen = false;

    explicit PhoneInstallSection(CompanionInstaller& installer, QWidget* parent = nullptr);

    // The panel found no phone at all: the how-to may show.
    void setNothingFound(bool nothingFound);
    // No adb was found: the how-to's first step is installing it.
    void setAdbMissing(bool adbMissing);
    FoldBinding* open() const { return open_; }
    SectionContent content() const { return shown_; }

  public slots:
    // Rebuilds the content from the installer's present state.
    void refresh();
    // Rebuilds only when the installer's published values differ from those drawn, so that the model's
    // frequent updates keep hover and focus inside the section.
    void follow();

  private:
    QWidget* offer(const InstallCandidate& c);
    QWidget* installing(const InstallCandidate& c);
    QWidget* success(const InstallCandidate& c);
    QWidget* failed(const InstallCandidate& c, const InstallFailure& f);
    QWidget* unauthorizedHint();
    QWidget* howTo();

    CompanionInstaller& installer_;
    bool nothingFound_ = false;
    bool adbMissing_ = false;
    FoldBinding* open_;
    QVBoxLayout* layout_;
    SectionContent shown_ = SectionContent::nothing;
    SectionInput drawn_;
};

}  // namespace velmora
