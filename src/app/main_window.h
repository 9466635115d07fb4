#pragma once

#include "connectivity/online_check.h"
#include "core/pointer.h"
#include "delivery/row_status.h"

#include <QProxyStyle>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>

class QComboBox;
class QTimer;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace platform {
class Clock;
class Desktop;
class RandomSource;
class SettingsStore;
} // namespace platform
namespace core {
class Procedure;
class KeptLogin;
} // namespace core
namespace notice {
class Form2;
}
namespace recipients {
struct ListContext;
struct ListEdit;
} // namespace recipients
namespace model {
struct CommandContext;
struct DataFiles;
struct Knowledge;
struct StatusEvent;
struct OutgoingText;
class RouteOption;
} // namespace model

namespace app {

class SendProgressWindow;
struct PeopleContext;

// The outside world as the main window reaches it.
struct Services {
    platform::Desktop& desktop;
    platform::SettingsStore& settings;
    const platform::Clock& clock;
    platform::RandomSource& random;
    QString programFolder; // the program's files: cursor, skin, pictures, and the log
    QString dataFolder;    // the log's place when the program folder is not writable
    connectivity::OnlineCheck onlineCheck; // the start-up check: ping and mail server
    // The routes texts may take, in the order the route choice shows them; the first is
    // always here.
    QList<model::RouteOption*> routes;
};

// Masks each typed character of the password box with "*".
class PasswordStarStyle final : public QProxyStyle {
  public:
    static PasswordStarStyle* instance();
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};

inline const QString kProductName = QStringLiteral("Parlivo");

// Names the application (its settings and data folders follow the names) and gives it the
// icon its windows show.
void nameApplication();

// The main window: the carrier and phone lists on the left, login, subject, body and the
// send buttons on the right. `Form_Load` prepares it; closing it stores the carrier list
// and ends the program.
class Form1 final : public QWidget {
    Q_OBJECT
  public:
    explicit Form1(Services services);
    ~Form1() override;

    void Form_Load();
    void Form_QueryUnload();
    void Form_Unload();

    void PushButton1_Click();  // Send Message
    void PushButton2_Click();  // View Log
    void PushButton3_Click();  // Load Number/s From File
    void PushButton4_Click();  // Clear List (carriers)
    void PushButton5_Click();  // Add Number
    void PushButton6_Click();  // Add Carrier
    void PushButton7_Click();  // Delete Carrier
    void PushButton8_Click();  // Help
    void PushButton9_Click();  // Select All Carriers
    void PushButton10_Click(); // Unselect All Carriers
    void PushButton11_Click(); // Clear List (phones)
    void PushButton12_Click(); // Load Default Carriers
    void PushButton13_Click(); // Load Sample/Example Numbers
    void ListView1_DblClick();
    void ListView2_DblClick();
    void Text5_Change();
    // Forgets what was learned of the selected phone, or of every phone (the phone list's menu).
    void forgetLearned(bool everyPhone);
    // Texts the selected phone again though it sent STOP, as the phone list's menu does.
    void textPhoneAgain();
    // Copies each phone row's status to the clipboard as a spreadsheet takes it (CSV), as the
    // phone list's menu does.
    void copyStatuses();

    QString applicationTitle() const { return applicationTitle_; }
    core::WindowPointer& pointer() { return pointer_; }
    notice::Form2* notice() const { return notice_.get(); }
    // Every push button, indexed by its number (element 0 is unused).
    QPushButton* pushButton(int number) const { return buttons_.at(std::size_t(number)); }

    QTreeWidget* ListView1 = nullptr; // phone numbers
    QTreeWidget* ListView2 = nullptr; // carriers
    QGroupBox* Frame5 = nullptr;      // Gmail Login
    QGroupBox* Frame1 = nullptr;      // Subject
    QGroupBox* Frame2 = nullptr;      // Body
    QLineEdit* Text3 = nullptr;       // user name
    QLineEdit* Text2 = nullptr;       // password
    QLineEdit* Text4 = nullptr;       // subject
    QPlainTextEdit* Text5 = nullptr;  // body
    // The label array by its elements' numbers: 0 and 1 in the login, 5 the counter.
    std::map<int, QLabel*> lblLabels;
    QLabel* lblTexts = nullptr; // how many texts the subject and body make at a gateway
    // The route a send takes, below the buttons while more than one is here.
    QLabel* lblRoute = nullptr;
    QComboBox* cboRoute = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildListColumn();
    void buildMessageColumn();
    void wireControls();
    QPushButton* addButton(int number, const QString& caption, QRect twipsRect,
                           void (Form1::*handler)());
    void restoreCarrierList(core::Procedure& p);
    void keepBodyWithinLimit();
    void endProgram();
    void storeSetting(const QString& key, const QString& text);
    // Offers the texts kept for the routes that are here, once no send runs.
    void offerKeptSends(const QStringList& routeIds);
    // Asks each route whether it is here (a modem found, say), once the window has painted and
    // whenever a route says that may have changed; the route choice shows those that are.
    void lookForRoutes();
    // The route choice; `looked`: with what the routes on a device found, else those taken as
    // away.
    void showRoutes(bool looked);
    // The Gmail login and the carrier list say they are unused while the chosen route does not
    // send with them.
    void showWhatTheRouteTakes();
    // What waits for the window to have painted: the routes looked for and watched, the kept
    // texts offered, the statuses read, the news asked for now and then.
    void startAfterPaint();
    // A route chosen in the route choice: kept, or set up first.
    void routeChosen(int index);
    model::RouteOption& chosenRoute() const;
    model::DataFiles dataFiles() const;
    // Each phone row's status beside it and its tool tip (what was learned of it, its last
    // sends), and the summary under the list: the first rows at once, the rest a slice each
    // turn of the event loop, so that a long list never holds the window.
    void showPhoneKnowledge();
    void showStatusSlice();
    int statusColumn() const; // -1 until a status is known
    // The statuses as the status file holds them, read aside once the window painted.
    void loadStatuses();
    // What a route heard since, brought into the log and the statuses; once no send runs.
    void takeNews(model::RouteOption* route, bool poll);
    void phoneListMenu(const QPoint& at);
    // The message box's menu: its edits, and saving, using and deleting saved texts.
    void messageMenu(const QPoint& at);
    PeopleContext peopleContext() const;
    void showGatewayTexts();
    // Runs a procedure that may wait on the network with the windows alive but holding
    // input; a close asked for meanwhile comes after it.
    void whileHoldingInput(const std::function<void()>& procedure);
    // Runs a command the user gave now, or once the news being checked is in.
    void command(const std::function<void()>& procedure);
    // The kept texts offered and the news taken in that waited for a procedure to end.
    void takeWhatWaited();
    recipients::ListContext listContext();
    model::CommandContext commandContext();
    // What the subsystems are handed: the widgets' contents as plain values.
    model::OutgoingText outgoingText() const;
    // What they hand back: the edit a list command makes.
    void editPhones(const recipients::ListEdit& edit);
    void editCarriers(const recipients::ListEdit& edit);

    Services services_;
    QString applicationTitle_;
    core::WindowPointer pointer_;
    std::array<QPushButton*, 14> buttons_{};
    std::unique_ptr<notice::Form2> notice_;
    bool ending_ = false;
    bool settingsProblemShown_ = false;
    bool holdingInput_ = false;
    bool checkingNews_ = false;              // a route's news is being taken in
    QList<std::function<void()>> afterNews_; // commands given meanwhile, in order
    bool painted_ = false;
    bool startWhenPainted_ = false;
    core::KeptLogin* login_ = nullptr; // the route's login the boxes show; none: no route keeps one
    std::unique_ptr<SendProgressWindow> progress_;
    std::unique_ptr<model::Knowledge> knowledge_; // what is known of each phone, read once
    bool tipsShown_ = false;
    std::unique_ptr<QHash<QString, QList<model::StatusEvent>>> statuses_;
    QLabel* lblStatus = nullptr; // the statuses summed up, under the phone list
    QTimer* statusSlices_ = nullptr;
    int statusNext_ = 0;                     // the next row of the pass under way
    QList<delivery::RowStatus> rowStatuses_; // what the pass found so far, for the summary
    QList<model::RouteOption*> newsWaiting_; // routes whose news waits for the send that runs
    QStringList routesHere_;                 // the ids of the routes here at the last look
    QList<model::RouteOption*> choices_;     // what the route choice offers, as last shown
    QString shownBefore_;                    // the route the choice showed before a set-up entry
    QStringList offersWaiting_;              // routes whose kept texts wait for the send that runs
    QTimer* lookAgain_ = nullptr;            // a look for routes soon after one said it changed
};

} // namespace app
