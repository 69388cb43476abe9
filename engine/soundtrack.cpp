#include "soundtrack.h"

#include <cstdio>

Ass::Ass()
{
    if (player_new(&player_, nullptr) != 0) {
        player_ = nullptr;
        std::fprintf(stderr, "Ass: coudn't create decoder thread\n");
    }
}

Ass::~Ass()
{
    if (player_ != nullptr && player_delete(player_) != 0)
        std::fprintf(stderr, "ASS: deleting player wend wrong\n");
}

void Ass::open(const char* path)
{
    if (player_ != nullptr)
        player_send_message(player_, command_input_open, path);
}

void Ass::play()
{
    if (player_ != nullptr)
        player_send_message(player_, command_play);
}

int Ass::poll()
{
    player_message m;
    if (player_ != nullptr && player_get_message(player_, &m) < 0)
        std::fprintf(stderr, "ASS: something is wrong\n");
    return 0;
}

void Ass::stop()
{
    if (player_ == nullptr)
        return;
    player_send_message(player_, command_stop);
    player_send_message(player_, command_exit);
}

void Ass::loadCodec(const char* library)
{
    if (player_ != nullptr)
        player_send_message(player_, command_codec_module_register, library);
}

void Ass::setOutput(const char* name)
{
    if (player_ != nullptr)
        player_send_message(player_, command_set_output_name, name);
}
