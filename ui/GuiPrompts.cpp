#include "ui/GuiPrompts.h"

#include "link/UError.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace torv {

GuiPrompts::GuiPrompts(TFError *window, QWidget *boxParent) : window_(window), boxParent_(boxParent) {}

namespace {
template <class F>
auto onGuiThread(F f) -> decltype(f()) {
    if (QThread::currentThread() == qApp->thread())
        return f();
    decltype(f()) result{};
    QMetaObject::invokeMethod(
        qApp, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}
}  // namespace

int GuiPrompts::present(const PromptRequest &request) {
    return onGuiThread([&]() -> int {
        if (!window_)
            return request.countdown > 0 ? AnswerNo : AnswerYes;
        return window_->Present(request);
    });
}

bool GuiPrompts::presentBox(const MessageBoxRequest &r) {
    return onGuiThread([&]() -> bool {
        QWidget *parent = boxParent_ ? boxParent_->window() : nullptr;
        switch (r.kind) {
        case MessageBoxRequest::Error: QMessageBox::critical(parent, r.caption, r.text); return true;
        case MessageBoxRequest::Warning: QMessageBox::warning(parent, r.caption, r.text); return true;
        case MessageBoxRequest::YesNo:
            return QMessageBox::question(parent, r.caption, r.text, QMessageBox::Yes | QMessageBox::No) ==
                   QMessageBox::Yes;
        case MessageBoxRequest::OkCancel:
            return QMessageBox::warning(parent, r.caption, r.text, QMessageBox::Ok | QMessageBox::Cancel) ==
                   QMessageBox::Ok;
        case MessageBoxRequest::Information:
        default: QMessageBox::information(parent, r.caption, r.text); return true;
        }
    });
}

}  // namespace torv
