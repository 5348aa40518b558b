// The module record and its factory export: each member forwards to the one engine.
#include "modules/mp3dec/mp3_module.h"

#include "modules/mp3dec/mp3_decoder.h"

namespace mp3module {

namespace {

DecoderModule& Record();

Mp3Decoder& Engine() {
  static Mp3Decoder engine(Record());
  return engine;
}

void Nothing(platform::MessageTarget*) {}
void Init() { Engine(); }
void Quit() { Engine().Stop(); }
void GetFileInfo(const char* file, char* title, std::size_t title_size, int* length_ms) {
  Engine().FileInfo(file, title, title_size, length_ms);
}
int InfoBox(const char*, platform::MessageTarget*) { return 0; }
int IsOurFile(const char*) { return 0; }
int Play(const char* file) { return Engine().Play(file); }
void Pause() { Engine().SetPaused(true); }
void Unpause() { Engine().SetPaused(false); }
int IsPaused() { return Engine().paused() ? 1 : 0; }
void Stop() { Engine().Stop(); }
int GetLength() { return Engine().LengthMs(); }
int GetOutputTime() { return Engine().OutputTimeMs(); }
void SetOutputTime(int) {}
void SetVolume(int volume) {
  if (Record().output != nullptr && Record().output->set_volume != nullptr)
    Record().output->set_volume(volume);
}
void SetPan(int pan) {
  if (Record().output != nullptr && Record().output->set_pan != nullptr)
    Record().output->set_pan(pan);
}
void SetEqualizer(int, char*, int) {}

DecoderModule& Record() {
  static DecoderModule record = {
      .version = 0x100,
      .description = "Wavelathe MPEG audio decoder (libmpg123)",
      .host_window = nullptr,
      .host_instance = nullptr,
      .extensions = "mp3;mp2;mp1\0MPEG audio files (*.mp3;*.mp2;*.mp1)\0",
      .is_seekable = 0,
      .uses_output = 1,
      .configure = Nothing,
      .about = Nothing,
      .init = Init,
      .quit = Quit,
      .get_file_info = GetFileInfo,
      .info_box = InfoBox,
      .is_our_file = IsOurFile,
      .play = Play,
      .pause = Pause,
      .unpause = Unpause,
      .is_paused = IsPaused,
      .stop = Stop,
      .get_length = GetLength,
      .get_output_time = GetOutputTime,
      .set_output_time = SetOutputTime,
      .set_volume = SetVolume,
      .set_pan = SetPan,
      .vis_init = nullptr,
      .vis_deinit = nullptr,
      .vis_add_pcm = nullptr,
      .vis_get_mode = nullptr,
      .vis_add = nullptr,
      .vis2_add_pcm = nullptr,
      .vis2_get_mode = nullptr,
      .vis2_add = nullptr,
      .vis2_set_info = nullptr,
      .dsp_is_active = nullptr,
      .dsp_process = nullptr,
      .set_equalizer = SetEqualizer,
      .set_info = nullptr,
      .output = nullptr,
  };
  return record;
}

}  // namespace

}  // namespace mp3module

mp3module::DecoderModule* mp3dec() { return &mp3module::Record(); }
