/* Plays an audio file (MPEG audio Layer I, II or III) into a WAV file and
 * waits for the end of the stream.   usage: play_to_wav INPUT OUTPUT.wav */
#include <melvox.h>

#include <stdio.h>
#include <string.h>

static int fail(const char* what, int error)
{
    fprintf(stderr, "play_to_wav: %s: %s\n", what, error_string(error));
    return 1;
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: play_to_wav INPUT OUTPUT.wav\n");
        return 2;
    }
    char output[4096];
    snprintf(output, sizeof output, "wav:%s", argv[2]);

    player* p;
    int r = player_new(&p, NULL);
    if (r < 0)
        return fail("cannot start the player", r);
    const long timeout_us = 10 * 1000 * 1000;
    if ((r = player_command(p, NULL, NULL, timeout_us, command_output_open, output)) < 0 ||
        (r = player_command(p, NULL, NULL, timeout_us, command_input_open, argv[1])) < 0 ||
        (r = player_command(p, NULL, NULL, timeout_us, command_play)) < 0) {
        player_delete(p);
        return fail(argv[1], r);
    }
    /* The next state after playing: the end of the stream, or stopped when
     * the input failed. */
    player_message m;
    while ((r = player_wait_message(p, &m, -1)) == 1)
        if (m.code == notify_player_state && notify_player_state_state(&m) != player_state_playing)
            break;
    player_delete(p); /* closes the output, which completes the WAV header */
    return r == 1 ? 0 : fail("waiting for the end", r);
}
