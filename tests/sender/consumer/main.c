/* The same as main.cpp through the C interface. */
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <vrd4sender.h>

static int laeuft(void* user) {
  (void)user;
  return 1;
}

int main(void) {
  char prefix[64], abgeholt[64] = "";
  snprintf(prefix, sizeof prefix, "t_verbraucher_c_%d_", (int)getpid());
  vrd4sender_set_channel_prefix(prefix);
  vrd4sender* t = vrd4sender_new();
  vrd4sender_set_keep_running(t, 1);
  vrd4sender_set_running_check(t, laeuft, NULL);
  vrd4sender_Event_Ausloesen(t, "Test", "ok");
  int gesendet = vrd4sender_BefehlSenden(t, "Befehl\x1b" "Cls");
  vrd4sender_EreignisAbholen(t, abgeholt, sizeof abgeholt);
  vrd4sender_free(t);
  return gesendet == 1 && strcmp(abgeholt, "Test;ok") == 0 ? 0 : 1;
}
