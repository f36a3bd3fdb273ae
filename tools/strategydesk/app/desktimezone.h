#ifndef DESKTIMEZONE_H
#define DESKTIMEZONE_H

// The time zone of strategydesk's local times. Thread: main, before any
// other thread starts (it changes the environment).
namespace DeskTimeZone {

// While TZ is not set, the C library examines /etc/localtime again at every
// conversion to or from local time, and Qt makes two for each local time it
// makes: with a hundred thousand instances that is most of the start. TZ
// naming that same file (":/etc/localtime") has it read once. Does nothing
// when TZ is set or the file does not exist. The zone is then the one of
// the start: a change of the system's zone shows at the next start.
void pinSystemZone();

} // namespace DeskTimeZone

#endif // DESKTIMEZONE_H
