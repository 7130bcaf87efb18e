#include "mail/ui/FeedbackDialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

FeedbackDialog::FeedbackDialog(FeedbackDialogSetup setup, AppendChatLineFn appendChatLine, QWidget *parent)
    : QDialog(parent), setup_(std::move(setup)), appendChatLine_(std::move(appendChatLine)), kind_(new QComboBox(this)),
      text_(new QPlainTextEdit(this)), status_(new QLabel(this)), send_(new QPushButton(QStringLiteral("Send"), this)) {
    setWindowTitle(QStringLiteral("Send Gabbler Bug Report/Suggestion"));
    setModal(true);

    kind_->setObjectName(QStringLiteral("kind"));
    kind_->addItem(QStringLiteral("Bug Report"));
    kind_->addItem(QStringLiteral("Suggestion"));
    text_->setObjectName(QStringLiteral("text"));
    text_->setTabChangesFocus(true);
    status_->setObjectName(QStringLiteral("status"));
    send_->setObjectName(QStringLiteral("send"));
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(send_);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(kind_);
    layout->addWidget(new QLabel(QStringLiteral("Please enter in your bug report/suggestion:"), this));
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);
    resize(420, 300);

    connect(send_, &QPushButton::clicked, this, &FeedbackDialog::Send);
    connect(cancel, &QPushButton::clicked, this, &FeedbackDialog::reject);
}

FeedbackDialog::~FeedbackDialog() {
    if (worker_.joinable()) {
        cancelled_ = true;
        worker_.join();
    }
}

void FeedbackDialog::reject() {
    if (busy_) {
        cancelled_ = true;
        return;
    }
    QDialog::reject();
}

void FeedbackDialog::Send() {
    if (busy_) {
        return;
    }
    const std::string body = text_->toPlainText().toStdString();
    if (FeedbackIsBlank(body)) {
        QMessageBox::critical(this, QStringLiteral("Gabbler Bug Report/Suggestion Sender"),
                              QStringLiteral("You can not send a blank bug report/suggestion."));
        return;
    }
    busy_ = true;
    status_->setText(QStringLiteral("Sending..."));
    send_->setEnabled(false);
    kind_->setEnabled(false);
    text_->setReadOnly(true);
    setCursor(Qt::BusyCursor);

    sending_ = kind_->currentIndex() == 0 ? FeedbackKind::BugReport : FeedbackKind::Suggestion;
    const std::string subject = FeedbackSubject(sending_, setup_.sender);
    worker_ = std::thread([this, subject, body, relay = setup_.relay, timeout = setup_.timeout] {
        const FeedbackResult result = SendFeedback(relay, subject, body, timeout, &cancelled_);
        // Back to the UI thread; the destructor joins this thread first, so the dialog is still there.
        QMetaObject::invokeMethod(
            this, [this, result] { Finished(result); }, Qt::QueuedConnection);
    });
}

void FeedbackDialog::Finished(const FeedbackResult &result) {
    worker_.join();
    busy_ = false;
    unsetCursor();
    if (cancelled_) {
        QDialog::reject();
        return;
    }
    if (!result.ok) {
        status_->setText(QStringLiteral("Not sent."));
        send_->setEnabled(true);
        kind_->setEnabled(true);
        text_->setReadOnly(false);
        QMessageBox::critical(
            this, QStringLiteral("Gabbler"),
            QString::fromStdString(FeedbackFailureText(result.error, setup_.relay, setup_.settingsFile)));
        return;
    }
    if (appendChatLine_) {
        appendChatLine_(FeedbackSentLine(sending_), kFeedbackSentColour, false, false, false, true);
    }
    accept();
}
