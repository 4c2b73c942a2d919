// The update window Tf_Update and the information window Tfrm_ShowInfoUpdate.
//
// Tf_Update runs the whole update check while it is being made, answering the component's events
// with message boxes and its progress bar; it becomes visible only afterwards and then shows the
// bar at the last reported position until it is closed. The boxes, the modal information window
// and the start of the downloaded program go through UpdatePrompts, which tests replace.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "update/web_update.h"

class QProgressBar;
class QPushButton;
class QTextBrowser;

namespace kelvora::ui {

// The information window: the update page in a web view above a strip with "OK" and "Cancel".
class Tfrm_ShowInfoUpdate : public QDialog {
    Q_OBJECT

  public:
    explicit Tfrm_ShowInfoUpdate(QWidget* parent = nullptr);

    // Shows `html`, the page read from `address` (links in it go to the desktop's browser).
    void ShowPage(const QString& address, const QByteArray& html);

    QTextBrowser* WebBrowser1;
    QWidget* Panel1;       // the bottom strip, 41 pixels high
    QPushButton* Button1;  // OK: default button, closes with the result OK
    QPushButton* Button2;  // Cancel: closes with the result Cancel

    // Handlers
    virtual void Panel1Resize();  // centres the two buttons in the strip

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// What the update window asks of the person and of the desktop.
class UpdatePrompts {
  public:
    virtual ~UpdatePrompts() = default;
    virtual bool Confirm(QWidget* parent, const QString& text);  // confirmation, Yes and No
    virtual bool Warn(QWidget* parent, const QString& text);     // warning, Yes and No
    virtual void Error(QWidget* parent, const QString& text);    // error, OK
    virtual void Notice(QWidget* parent, const QString& text);   // warning, OK
    // Shows the information window modally; true when it was closed with OK.
    virtual bool ShowInfo(Tfrm_ShowInfoUpdate& window);
    // Starts the downloaded program; false when it could not be started.
    virtual bool Start(const std::string& fileName, const std::string& parameters);
};
// The prompts in use; replacing them returns the previous ones (null restores the defaults).
UpdatePrompts& updatePrompts();
std::unique_ptr<UpdatePrompts> setUpdatePrompts(std::unique_ptr<UpdatePrompts> prompts);

// The component as the windows use it: the information window, the start of the program, the
// end of the program and the window messages during a transfer belong to the user interface.
class TQtWebUpdate : public update::TWebUpdate {
  public:
    explicit TQtWebUpdate(QWidget* owner) : owner_(owner) {}
    ~TQtWebUpdate() override;
    Tfrm_ShowInfoUpdate* InfoWindow() const { return info_.get(); }

  protected:
    bool ShowInfoWindow(const std::string& address) override;
    bool Execute(const std::string& fileName, const std::string& parameters) override;
    void Terminate() override;
    void ProcessMessages() override;

  private:
    QWidget* owner_;
    std::unique_ptr<Tfrm_ShowInfoUpdate> info_;  // made on first use, lives as long as the component
};

class Tf_Update : public QWidget {
    Q_OBJECT

  public:
    // Runs the update check against UpdatePageAddress() before it returns.
    explicit Tf_Update(QWidget* parent = nullptr);
    ~Tf_Update() override;

    QProgressBar* ProgressBar1;
    std::unique_ptr<TQtWebUpdate> WebUpdate1;

    // Handlers
    virtual void FormCreate();
    virtual void WebUpdate1AfterGetInfo();
    virtual void WebUpdate1BeforeShowInfo(bool& ShowInfo, bool& CheckForUpdate);
    virtual void WebUpdate1UpdateAvailable(const std::string& ActualVersion, const std::string& NewVersion,
                                           bool& CanUpdate);
    virtual void WebUpdate1NoUpdateFound();
    virtual void WebUpdate1DownloadError();
    virtual void WebUpdate1Download(std::uint64_t Total, std::uint64_t Downloaded);
    virtual void WebUpdate1NotVerified(const std::string& FileName);
    virtual void WebUpdate1CannotExecute();
};

// The update window made last (empty once it is closed).
QPointer<Tf_Update>& f_Update();

}  // namespace kelvora::ui
