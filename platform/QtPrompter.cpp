#include "platform/QtPrompter.h"
#include "platform/ScreenFit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

namespace walkmere {

namespace {

QString caption(const std::string& c) {
    return QString::fromStdString(c.empty() ? std::string(kApplicationTitle) : c);
}

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Stop:
        return QMessageBox::Critical;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// An open dialog takes a bare name with the default extension in either case: the program
// and its tools write "NAME.kvs", while the handheld's dialogs asked for "NAME.KVS" (which a
// case-sensitive file system does not find for "NAME.kvs"). A saving dialog leaves the
// extension to Qt.
class FileDialog final : public QFileDialog {
public:
    FileDialog(QWidget* parent, const FileDialogRequest& r, const QString& extension, bool save,
               int uiScale)
        : QFileDialog(parent), extension(extension), mustExist(r.fileMustExist) {
        if (uiScale > 1) atDesktopSize(uiScale);
        keepWithinAvailableArea(*this);
        setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        if (save) {
            setFileMode(QFileDialog::AnyFile);
            setDefaultSuffix(extension);
        } else {
            // Qt would only take names that exist as typed; accept() finds the file instead.
            setFileMode(extension.isEmpty() ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        }
    }

    // The file chosen in an open dialog resolved by accept(); otherwise Qt's choice.
    std::optional<QString> chosen;

    void accept() override {
        const QStringList files = selectedFiles();
        // Of several names Qt, too, takes the first.
        if (acceptMode() != QFileDialog::AcceptOpen || extension.isEmpty() || files.isEmpty())
            return QFileDialog::accept();
        const QFileInfo typed(files.front());
        if (typed.exists()) return QFileDialog::accept(); // a file, or a folder to go into
        if (!typed.fileName().contains(QLatin1Char('.'))) {
            for (const QString& suffix : {extension.toLower(), extension.toUpper()}) {
                const QString name = typed.filePath() + QLatin1Char('.') + suffix;
                if (!QFileInfo(name).isFile()) continue;
                chosen = name;
                return QDialog::accept();
            }
        }
        if (!mustExist) {
            chosen = typed.filePath();
            return QDialog::accept();
        }
        QMessageBox::warning(this, windowTitle(),
                             QFileDialog::tr("%1\nFile not found.\nPlease verify the "
                                             "correct file name was given.")
                                 .arg(typed.fileName()));
    }

private:
    // Text and icons drawn at the scale's fraction of the program's own size come out at the
    // desktop's size on the screen.
    void atDesktopSize(int uiScale) {
        QFont smaller = font();
        if (smaller.pointSizeF() > 0)
            smaller.setPointSizeF(smaller.pointSizeF() / uiScale);
        else
            smaller.setPixelSize(std::max(1, smaller.pixelSize() / uiScale));
        setFont(smaller);
        const int icon = std::max(1, style()->pixelMetric(QStyle::PM_SmallIconSize) / uiScale);
        for (QAbstractItemView* view : findChildren<QAbstractItemView*>())
            view->setIconSize(QSize(icon, icon));
        for (QToolButton* button : findChildren<QToolButton*>())
            button->setIconSize(QSize(icon, icon));
    }

    QString extension;
    bool mustExist;
};

std::optional<std::string> runFileDialog(QWidget* owner, const FileDialogRequest& r, bool save,
                                         int uiScale) {
    std::string ext = r.defaultExtension;
    if (!ext.empty() && ext.front() == '.') ext.erase(ext.begin());
    FileDialog dialog(owner, r, QString::fromStdString(ext), save, uiScale);
    dialog.setNameFilter(QString::fromStdString(toQtFilter(r.filter)));
    if (!r.initialFolder.empty()) dialog.setDirectory(QString::fromStdString(r.initialFolder));
    if (!r.initialName.empty()) dialog.selectFile(QString::fromStdString(r.initialName));
    if (save && !r.promptOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    if (dialog.chosen) return dialog.chosen->toStdString();
    if (dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

// A Yes/No box that Escape and the close button leave without pressing either button:
// QMessageBox would take them for No.
class YesNoBox final : public QMessageBox {
public:
    YesNoBox(const QString& title, const QString& text, QWidget* parent)
        : QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No,
                      parent) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) {
            done(QDialog::Rejected);
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        done(QDialog::Rejected);
    }
};

} // namespace

std::string toQtFilter(const std::string& handheldFilter) {
    // The handheld's filter alternates description and pattern, separated by '|'.
    std::vector<std::string> parts;
    std::string cur;
    for (char c : handheldFilter) {
        if (c == '|') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;
        if (!out.empty()) out += ";;";
        out += parts[i];
    }
    return out;
}

void QtPrompter::showMessage(const std::string& text, const std::string& cap, MessageIcon icon) {
    QMessageBox box(qtIcon(icon), caption(cap), QString::fromStdString(text), QMessageBox::Ok,
                    owner);
    box.exec();
}

YesNoAnswer QtPrompter::askYesNo(const std::string& text, const std::string& cap) {
    YesNoBox box(caption(cap), QString::fromStdString(text), owner);
    box.exec();
    // Only a button that was pressed answers; Escape, the close button and an event loop
    // ended by a signal leave no clicked button.
    if (box.clickedButton() == box.button(QMessageBox::Yes)) return YesNoAnswer::Yes;
    if (box.clickedButton() == box.button(QMessageBox::No)) return YesNoAnswer::No;
    return YesNoAnswer::Dismissed;
}

std::optional<std::string> QtPrompter::askOpenFile(const FileDialogRequest& request) {
    return runFileDialog(owner, request, false, uiScale);
}

std::optional<std::string> QtPrompter::askSaveFile(const FileDialogRequest& request) {
    return runFileDialog(owner, request, true, uiScale);
}

void QtPrompter::beginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtPrompter::endWaitCursor() {
    QApplication::restoreOverrideCursor();
}

} // namespace walkmere
