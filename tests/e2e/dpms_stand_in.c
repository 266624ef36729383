/* DPMS for an X server that has none (Xvfb): preloaded into the program under test, it answers
 * libXext's DPMS calls from a small file that stands for the server's DPMS state, and writes every
 * request that changes it to a log, so that a test sees what the program asked and what it left.
 * DPMS_STAND_IN names the folder: "state" holds "enabled standby suspend off level", "requests"
 * one line a request. */
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

struct State {
  int enabled, standby, suspend, off, level;
};

/* Runs `change` on the state under the folder's lock, and logs `request` when it is not NULL. */
static struct State Locked(void (*change)(struct State*, int), int value, const char* request) {
  struct State s = {1, 600, 600, 600, DPMSModeOn};
  const char* folder = getenv("DPMS_STAND_IN");
  if (folder == NULL) return s;
  char path[4096];
  snprintf(path, sizeof path, "%s/state", folder);
  int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return s;
  flock(fd, LOCK_EX);
  FILE* f = fdopen(fd, "r+");
  if (fscanf(f, "%d %d %d %d %d", &s.enabled, &s.standby, &s.suspend, &s.off, &s.level) != 5) {
    s = (struct State){1, 600, 600, 600, DPMSModeOn};
  }
  if (change != NULL) {
    change(&s, value);
    rewind(f);
    if (ftruncate(fd, 0) == 0)
      fprintf(f, "%d %d %d %d %d\n", s.enabled, s.standby, s.suspend, s.off, s.level);
    fflush(f);
  }
  if (request != NULL) {
    snprintf(path, sizeof path, "%s/requests", folder);
    FILE* log = fopen(path, "a");
    if (log != NULL) fprintf(log, "%s %d\n", request, value), fclose(log);
  }
  fclose(f); /* closes fd, and with it the lock */
  return s;
}

static void SetEnabled(struct State* s, int v) {
  s->enabled = v;
}
static void SetLevel(struct State* s, int v) {
  s->level = v;
}
static CARD16 asked_timeouts[3];
static void SetTimeouts(struct State* s, int v) {
  (void)v;
  s->standby = asked_timeouts[0], s->suspend = asked_timeouts[1], s->off = asked_timeouts[2];
}

Bool DPMSQueryExtension(Display* d, int* event_base, int* error_base) {
  (void)d;
  *event_base = *error_base = 0;
  return True;
}
Bool DPMSCapable(Display* d) {
  return (void)d, True;
}
Status DPMSInfo(Display* d, CARD16* level, BOOL* enabled) {
  (void)d;
  struct State s = Locked(NULL, 0, NULL);
  *level = (CARD16)s.level;
  *enabled = s.enabled ? True : False;
  return 1;
}
Bool DPMSGetTimeouts(Display* d, CARD16* standby, CARD16* suspend, CARD16* off) {
  (void)d;
  struct State s = Locked(NULL, 0, NULL);
  *standby = (CARD16)s.standby, *suspend = (CARD16)s.suspend, *off = (CARD16)s.off;
  return True;
}
Status DPMSEnable(Display* d) {
  return (void)d, Locked(SetEnabled, 1, "enable"), 1;
}
Status DPMSDisable(Display* d) {
  return (void)d, Locked(SetEnabled, 0, "disable"), 1;
}
Status DPMSForceLevel(Display* d, CARD16 level) {
  return (void)d, Locked(SetLevel, level, "force"), 1;
}
Status DPMSSetTimeouts(Display* d, CARD16 standby, CARD16 suspend, CARD16 off) {
  (void)d;
  asked_timeouts[0] = standby, asked_timeouts[1] = suspend, asked_timeouts[2] = off;
  return Locked(SetTimeouts, standby, "timeouts"), 1;
}
