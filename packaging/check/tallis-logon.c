/* Built against the installed tallis.pc by scripts/package-check: logs on to
 * the demo application in session A and waits for its menu. */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <string.h>
#include <tallis.h>
#include <time.h>

/* One call; the length word it gives back (a search's position) in *result. */
static uint16_t call(uint16_t function, const char *text, uint16_t *result) {
  static char buffer[4096];
  uint16_t length = (uint16_t)strlen(text), code = 0;
  memcpy(buffer, text, length + 1);
  hllapi(&function, buffer, &length, &code);
  if (result) *result = length;
  return code;
}

int main(void) {
  WHLLAPIDATA data;
  uint16_t at = 0, rc;
  if (WinHLLAPIStartup(0x0101, &data) != 0) return fprintf(stderr, "startup failed\n"), 1;
  printf("%s\n", data.szDescription);
  if ((rc = call(HA_CONNECT_PS, "A", NULL)) != 0) return fprintf(stderr, "connect: %u\n", rc), 1;
  if ((rc = call(HA_SEARCH_PS, "Userid", &at)) != 0) return fprintf(stderr, "no logon screen: %u\n", rc), 1;
  if ((rc = call(HA_SENDKEY, "demo@Tdemo@E", NULL)) != 0) return fprintf(stderr, "send key: %u\n", rc), 1;
  for (int i = 0; i < 100; ++i) {
    call(HA_WAIT, "", NULL);
    if (call(HA_SEARCH_PS, "Main Menu", &at) == 0) {
      printf("Main Menu at %u\n", at);
      call(HA_DISCONNECT_PS, "", NULL);
      WinHLLAPICleanup();
      return 0;
    }
    nanosleep(&(struct timespec){0, 100000000}, NULL);
  }
  fprintf(stderr, "no menu\n");
  return 1;
}
