#pragma once

#include "platform/Prompter.h"

class QWidget;

namespace walkmere {

// The program's message boxes, file dialogs and wait cursor on Qt Widgets.
class QtPrompter final : public IPrompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : owner(parent) {}
    void setParent(QWidget* parent) { owner = parent; }
    // The whole-number UI scale the program runs at (through Qt's scaling). The file dialogs
    // are Qt's own and show the desktop's files, not the handheld's screen: they take the
    // scale back out and draw their text at the desktop's own size.
    void setUiScale(int scale) { uiScale = scale; }

    void showMessage(const std::string& text, const std::string& caption = {},
                     MessageIcon icon = MessageIcon::None) override;
    YesNoAnswer askYesNo(const std::string& text, const std::string& caption = {}) override;
    std::optional<std::string> askOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> askSaveFile(const FileDialogRequest& request) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;

private:
    QWidget* owner;
    int uiScale = 1;
};

// "Site Files (*.kvs)|*.kvs|All Files (*.*)|*.*||" -> "Site Files (*.kvs);;All Files (*.*)"
std::string toQtFilter(const std::string& handheldFilter);

} // namespace walkmere
