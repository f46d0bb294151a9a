#include "diag/launch_observer.h"

namespace {

LaunchObserver silent;
LaunchObserver* current = &silent;

}  // namespace

LaunchObserver& launchObserver() { return *current; }

void setLaunchObserver(LaunchObserver* observer) {
  current = observer != nullptr ? observer : &silent;
}
