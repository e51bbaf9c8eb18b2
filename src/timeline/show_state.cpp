// The one ShowState and the names that refer into it. The references are bound at compile time
// (a static object's members have fixed addresses), so they are valid before any constructor runs.
#include "timeline/show_state.h"

ShowState CurrentShow;

FragmentList& ActiveFragments = CurrentShow.activeFragments;
std::vector<float>& CueList = CurrentShow.cueList;
SpawnGates& Gates = CurrentShow.gates;
SpawnTimes& LastSpawn = CurrentShow.lastSpawn;
SpawnListeners& Listeners = CurrentShow.listeners;
std::vector<Point2>& ElectroPoints = CurrentShow.electroPoints;
TextureTable& TextureLibrary = CurrentShow.textures.library;
uint32_t (&ElectroTextures)[ElectroTextureCount] = CurrentShow.textures.electro;
uint32_t (&BlendTextures)[BlendTextureCount] = CurrentShow.textures.blend;
uint32_t& EndTexture = CurrentShow.textures.end;
float (&spectrum)[SpectrumSize] = CurrentShow.spectrum;

void clearShowState() { CurrentShow = ShowState(); }
