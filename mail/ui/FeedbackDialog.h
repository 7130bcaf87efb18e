#pragma once

#include "mail/Feedback.h"
#include "mail/MailRelay.h"

#include <QDialog>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// What the dialog needs from the rest of the program.
struct FeedbackDialogSetup {
    FeedbackSender sender;
    MailRelay relay;
    std::string settingsFile = "gabbler.ini"; // where the relay is set, named when a send fails
    std::chrono::milliseconds timeout = SmtpConnection::kDefaultTimeout;
};

// Takes the arguments of the main window's AppendChatLine; colour is 0xRRGGBB.
using AppendChatLineFn = std::function<void(const std::string &text, std::uint32_t colour, bool bold, bool italic,
                                            bool underline, bool newline)>;

// The bug report and suggestion sender. The mail goes out on a worker thread, so the window keeps painting and the
// session keeps running while the relay answers. A sent report closes the dialog; a failed one leaves it open with
// the text as typed, so nothing is lost and Send can be pressed again.
class FeedbackDialog : public QDialog {
    Q_OBJECT
public:
    FeedbackDialog(FeedbackDialogSetup setup, AppendChatLineFn appendChatLine, QWidget *parent = nullptr);
    ~FeedbackDialog() override;

    // While a mail is on its way, Cancel and the close button abandon it; the dialog closes as soon as it stops.
    void reject() override;

private:
    void Send();
    void Finished(const FeedbackResult &result);

    FeedbackDialogSetup setup_;
    AppendChatLineFn appendChatLine_;
    QComboBox *kind_;
    QPlainTextEdit *text_;
    QLabel *status_;
    QPushButton *send_;
    FeedbackKind sending_ = FeedbackKind::BugReport;
    std::thread worker_;
    std::atomic<bool> cancelled_{false};
    bool busy_ = false;
};
