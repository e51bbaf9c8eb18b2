// Spawner. Each rule tests its conditions in a fixed order and stops at the first that fails, reading
// the clock afresh for its rate test, so at most one fragment of each kind appears per frame and no
// draw is made for a rule that does not fire.
#include "timeline/spawner.h"

#include "fragments/bezier_frag.h"
#include "fragments/electro_frag.h"
#include "fragments/electro_points.h"
#include "timeline/active_fragments.h"
#include "timeline/timeline_events.h"
#include "utils/random.h"
#include "utils/video.h"

float spectrumPeak(const float* spectrum)
{
    float peak = 0;
    for (int k = 0; k < PeakBandCount; ++k)
        if (spectrum[k] > peak) peak = spectrum[k];
    return peak;
}

double bandStrength(const float* spectrum, int band, float peak) { return double(spectrum[band]) / double(peak) * 256.0; }

void placeCircleGrid(std::unique_ptr<CircleGridFrag> grid)
{
    const CircleGridFrag& created = *grid;
    const size_t before = ActiveFragments.size();
    const size_t index = addFragment(std::move(grid));
    LastSpawn.grid = demoTime();
    if (TimelineObserver* o = timelineObserver()) o->gridCreated(created, {index, before});
}

void spawnCircleGrid(int width, int height)
{
    auto grid = std::make_unique<CircleGridFrag>(GridLifetime);
    const float offX = randomRange(-180, float(width - 600));
    const float offY = randomRange(-180, float(height - 600));
    random01();  // its value is unused; the draw only moves the walk's draws one value on
    for (int r = 0; r < GridPlaces * GridSpacing; r += GridSpacing) {
        for (int c = 0; c < GridPlaces * GridSpacing; c += GridSpacing) {
            if (randomFloat(2) < 1.7f) continue;  // 15 % of places are filled
            const float x = (offX + float(c)) - 300.0f;
            const float y = (float(r) + offY) - 300.0f;

            const float a1 = random01();
            const int k1 = int(randomInt(6));
            const float s1 = randomFloat(60);
            grid->cells.push_back({x, y, s1, k1, a1});

            const float a2 = random01();
            const int k2 = int(randomInt(6));
            const float s2 = randomFloat(90);
            const float jy = randomRange(-5, 5);
            const float jx = randomRange(-5, 5);
            grid->cells.push_back({x + jx, y + jy, s2, k2, a2});
        }
    }
    placeCircleGrid(std::move(grid));
}

void spawnElectro()
{
    auto spark = std::make_unique<ElectroFrag>(ElectroLifetime);
    LastSpawn.electro = demoTime();
    spark->pointIndex = int(randomInt(uint32_t(ElectroPoints.size())));
    spark->textureIndex = random01() < 0.1f ? int(randomInt(2)) : int(randomInt(4)) + 2;
    spark->colorIndex = int(randomFloat(5));
    spark->angle = randomFloat(360);
    spark->spin = randomRange(-20, 20);
    spark->scale = randomRange(1, 3);
    spark->growth = randomRange(1, 1.1f);

    const ElectroFrag& created = *spark;
    const size_t before = ActiveFragments.size();
    const size_t index = addFragment(std::move(spark));
    if (TimelineObserver* o = timelineObserver()) o->electroCreated(created, {index, before});
}

void spawnBezier()
{
    auto stroke = std::make_unique<BezierFrag>(BezierLifetime);
    LastSpawn.bezier = demoTime();
    stroke->curveIndex = int(randomInt(BezierCurveCount));
    stroke->colorIndex = int(randomInt(5));

    // At the front, so a new stroke lies beneath everything alive now; no draw for its place.
    const BezierFrag& created = *stroke;
    const size_t before = ActiveFragments.size();
    const size_t index = addFragmentAtFront(std::move(stroke));
    if (TimelineObserver* o = timelineObserver()) o->bezierCreated(created, {index, before});
}

void spawnFromSpectrum(float time, const float* spectrum, int width, int height)
{
    const float peak = spectrumPeak(spectrum);
    // A listener's track: every band is heard every frame, whether or not its rule is open, so what
    // one hears never depends on when the rules spawned.
    bool gridEvent = false, electroEvent = false, bezierEvent = false;
    if (Gates.listening) {
        gridEvent = Listeners.grid.hear(time, spectrum[GridBand]);
        electroEvent = Listeners.electro.hear(time, spectrum[ElectroBand]);
        bezierEvent = Listeners.bezier.hear(time, spectrum[BezierBand]);
    }
    auto present = [&](bool event, int band, double strength) {
        return Gates.listening ? event : bandStrength(spectrum, band, peak) > strength;
    };

    if (time > Gates.grid && present(gridEvent, GridBand, GridStrength) && demoTime() - LastSpawn.grid > GridGap)
        spawnCircleGrid(width, height);

    // Without anchor points a spark has nowhere to go (and randomInt(0) has no answer); start-up
    // always builds them, so this only guards tools that skip it.
    if (present(electroEvent, ElectroBand, ElectroStrength) && demoTime() - LastSpawn.electro > ElectroGap &&
        !ElectroPoints.empty())
        spawnElectro();

    if (time > Gates.bezier && present(bezierEvent, BezierBand, BezierStrength) && demoTime() - LastSpawn.bezier > BezierGap)
        spawnBezier();
}
