// Prompts shown by the prompt window and standard message boxes. A request made on the exchange
// thread is handed to the GUI thread and waits there until the window closes.
#pragma once

#include "link/Prompts.h"

#include <QPointer>

class QWidget;

namespace torv {

class TFError;

class GuiPrompts final : public Prompts {
public:
    GuiPrompts(TFError *window, QWidget *boxParent);

protected:
    int present(const PromptRequest &request) override;
    bool presentBox(const MessageBoxRequest &request) override;

private:
    QPointer<TFError> window_;
    QPointer<QWidget> boxParent_;
};

}  // namespace torv
