/* A C program built against the installed sender library with pkg-config;
 * prints "ok" when a command and an event went through. */
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <vrd4sender.h>

static int laeuft(void* user) {
  (void)user;
  return 1;
}

static void ereignis(const char* art, const char* meldung, void* user) {
  snprintf((char*)user, 64, "%s|%s", art, meldung);
}

int main(void) {
  char prefix[64], gesehen[64] = "", abgeholt[64];
  snprintf(prefix, sizeof prefix, "t_verbraucher_c_%d_", (int)getpid());
  vrd4sender_set_channel_prefix(prefix);
  vrd4sender* t = vrd4sender_new();
  if (!t) return 1;
  vrd4sender_set_keep_running(t, 1);
  vrd4sender_set_running_check(t, laeuft, NULL);
  vrd4sender_set_event(t, ereignis, gesehen);
  vrd4sender_Hintergrundfarbe(t, 255);
  vrd4sender_Event_Ausloesen(t, "Test", "ok");
  vrd4sender_EreignisAbholen(t, abgeholt, sizeof abgeholt);
  vrd4sender_free(t);
  if (strcmp(gesehen, "Test|ok") != 0 || strcmp(abgeholt, "Test;ok") != 0) return 2;
  puts("ok");
  return 0;
}
