#pragma once

#include "platform/Prompter.h"

class QWidget;

namespace walkmere {

// The program's message boxes, file dialogs and wait cursor on Qt Widgets.
class QtPrompter final : public IPrompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : owner(parent) {}
    void setParent(QWidget* parent) { owner = parent; }

    void showMessage(const std::string& text, const std::string& caption = {},
                     MessageIcon icon = MessageIcon::None) override;
    YesNoAnswer askYesNo(const std::string& text, const std::string& caption = {}) override;
    std::optional<std::string> askOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> askSaveFile(const FileDialogRequest& request) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;

private:
    QWidget* owner;
};

// "Site Files (*.kvs)|*.kvs|All Files (*.*)|*.*||" -> "Site Files (*.kvs);;All Files (*.*)"
std::string toQtFilter(const std::string& handheldFilter);

} // namespace walkmere
