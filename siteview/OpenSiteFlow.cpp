#include "siteview/OpenSiteFlow.h"

#include <QImage>

#include <algorithm>

#include "platform/Prompter.h"
#include "siteview/SiteView.h"
#include "survey/SiteOpenFlow.h"

namespace walkmere {

namespace {

// The view's side of the open flow.
class SiteViewOpening final : public ISiteOpenView {
public:
    explicit SiteViewOpening(CSiteView& v) : view(v) {}

    void siteAccepted(const std::string& path) override {
        view.openedPath = QString::fromStdString(path);
        // The old plan goes with the old site, also when the new one has none.
        view.floorPlan = QImage();
        view.viewport().reset();
    }

    bool loadFloorPlan(const std::string& bitmapPath) override {
        QImage plan(QString::fromStdString(bitmapPath), "BMP");
        if (plan.isNull()) return false;
        view.floorPlan = std::move(plan);
        return true;
    }

    void siteReady() override {
        view.siteOpen = true;
        const int planWidth = view.floorPlan.isNull() ? 0 : view.floorPlan.width();
        const int planHeight = view.floorPlan.isNull() ? 0 : view.floorPlan.height();
        const EdgeRect client = view.clientRect();
        const int side = std::min(client.width(), client.height());
        CViewport& viewport = view.viewport();
        viewport.setBounds(planWidth, planHeight);
        viewport.initView(side, side);
        view.setScrollRanges(planWidth, planHeight);
    }

    void redraw() override { view.repaintNow(); }

private:
    CSiteView& view;
};

// Answers the file dialog with a path chosen elsewhere; passes everything else on.
class PresetFilePrompter final : public IPrompter {
public:
    PresetFilePrompter(IPrompter& inner, std::string path) : inner(inner), path(std::move(path)) {}

    void showMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override {
        inner.showMessage(text, caption, icon);
    }
    YesNoAnswer askYesNo(const std::string& text, const std::string& caption) override {
        return inner.askYesNo(text, caption);
    }
    std::optional<std::string> askOpenFile(const FileDialogRequest&) override { return path; }
    std::optional<std::string> askSaveFile(const FileDialogRequest& request) override {
        return inner.askSaveFile(request);
    }
    void beginWaitCursor() override { inner.beginWaitCursor(); }
    void endWaitCursor() override { inner.endWaitCursor(); }

private:
    IPrompter& inner;
    std::string path;
};

} // namespace

bool openSiteInView(CSiteView& view, CSurveyStore& store, IPrompter& prompter,
                    const std::optional<std::string>& path) {
    SiteViewOpening opening(view);
    if (!path) return runOpenSiteFlow(prompter, store, opening);
    PresetFilePrompter preset(prompter, *path);
    return runOpenSiteFlow(preset, store, opening);
}

} // namespace walkmere
