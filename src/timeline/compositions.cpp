// Typography compositions. Each sprite makes exactly two draws, its colour (in the TexFrag
// constructor) and then its list position, so a composition of k sprites advances the shared
// generator by 2k calls.
#include "timeline/compositions.h"

#include <memory>

#include "fragments/tex_frag.h"
#include "timeline/active_fragments.h"
#include "timeline/timeline_events.h"

int compositionFirst(int type)
{
    for (int i = 0; i < CompositionSpriteCount; ++i)
        if (CompositionTable[i].type == type) return i;
    return -1;
}

int compositionSize(int type)
{
    int n = 0;
    for (const CompositionSprite& row : CompositionTable) n += row.type == type ? 1 : 0;
    return n;
}

void spawnComposition(int type, float lifetime)
{
    for (const CompositionSprite& row : CompositionTable) {
        if (row.type != type) continue;
        auto sprite = std::make_unique<TexFrag>(lifetime);
        sprite->fromX = row.fromX;
        sprite->fromY = row.fromY;
        sprite->toX = row.toX;
        sprite->toY = row.toY;
        sprite->angle = row.angle;
        sprite->spin = row.spin;
        sprite->scale = row.scale;
        sprite->growth = row.growth;
        sprite->alpha = row.alpha;
        sprite->textureName = row.textureName;

        const TexFrag& created = *sprite;
        const size_t before = ActiveFragments.size();
        const size_t index = addFragment(std::move(sprite));
        if (TimelineObserver* o = timelineObserver()) o->texCreated(created, {index, before});
    }
}
