// The worker side of running components in a process of their own: a Plinthora started by a
// run, with a channel in its environment, performs the items it is handed one at a time
// until the run orders it to quit or ends. Runs on the process's initial thread.
#pragma once

// True, after the worker has served its run, when this process was started as a worker; the
// process should then exit. False at once for every other start.
bool serveAsWorker();
