#pragma once

#include "link/SerialLink.h"
#include "platform/AlsaSoundPlayer.h"
#include "platform/Clock.h"
#include "platform/QtPrompter.h"
#include "platform/Registry.h"
#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "siteview/Viewport.h"
#include "survey/PointMeasurement.h"
#include "survey/SurveyStore.h"
#include "survey/WalkSession.h"

#include <memory>

namespace walkmere {

// The program's process-wide objects, made once at start. The services a test wants to
// script (prompter, sound, clock) are given from outside.
class AppServices {
public:
    AppServices(IPrompter& prompter, ISoundPlayer& sound, IClock& clock,
                std::unique_ptr<IRegistrySource> registry);
    // The link worker is stopped and joined before anything it calls goes away.
    ~AppServices();

    IPrompter& prompter;
    ISoundPlayer& sound;
    IClock& clock;
    std::unique_ptr<IRegistrySource> registry;
    CLiveApTable table;
    CSerialLink link;
    CBoardProtocol board;
    CSurveyStore store;
    PointMeasurement measurement;
    WalkSession walk{store, table};
    CViewport viewport;
};

} // namespace walkmere
