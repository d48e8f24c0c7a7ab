// A stand-in receiver that runs under the receiver's name but never opens
// the channel, so it never answers: for the reply time limit. It ends on
// SIGTERM (default action) and by itself after a minute, so that a test that
// dies cannot leave it behind for long.
#include <unistd.h>

int main() { ::sleep(60); }
