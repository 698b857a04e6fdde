#include "voice/audiothreads.h"

namespace ostravel {

AudioThreads::AudioThreads() = default;
AudioThreads::~AudioThreads() { Stop(); }
void AudioThreads::Start() {}
void AudioThreads::Stop() {}

}  // namespace ostravel
