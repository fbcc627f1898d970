#include "sim/SurveyorPosition.h"

#include <chrono>

namespace walkmere::sim {

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SurveyorPosition::follow(WalkerTimeline timeline, SecondsClock secondsNow) {
    std::lock_guard<std::mutex> guard(lock);
    walk = std::move(timeline);
    clock = std::move(secondsNow);
    startedAt.reset();
}

void SurveyorPosition::startWalk() {
    std::lock_guard<std::mutex> guard(lock);
    if (walk && !startedAt) startedAt = clock();
}

void SurveyorPosition::set(PlanSpot now) {
    std::lock_guard<std::mutex> guard(lock);
    if (!walk) spot = now;
}

PlanSpot SurveyorPosition::get() const {
    std::lock_guard<std::mutex> guard(lock);
    if (!walk) return spot;
    return walk->at(startedAt ? clock() - *startedAt : 0);
}

} // namespace walkmere::sim
