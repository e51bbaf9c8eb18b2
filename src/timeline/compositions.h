// The eight typography compositions: hand-placed arrangements of two to five TexFrag sprites that a
// cue launches together. Pure data except for each sprite's colour and its place in the draw order.
#pragma once

// One sprite of a composition: the values written into its TexFrag (view units, degrees, opacity).
struct CompositionSprite {
    int type;                 // composition 0..7
    const char* textureName;  // TextureLibrary file name
    float fromX, fromY;       // centre at progress 0
    float toX, toY;           // centre at progress 1
    float angle, spin;        // degrees at progress 0, degrees added over the life
    float scale, growth;      // edge at progress 0, edge added over the life
    float alpha;              // peak opacity
};

constexpr int CompositionTypeCount = 8;
constexpr int CompositionSpriteCount = 31;

// Rows grouped by type, each type's sprites in creation order.
constexpr CompositionSprite CompositionTable[] = {
    // type texture               fromX        fromY          toX          toY        angle         spin        scale       growth        alpha
    {0, "m0.png",          -0.618118f,   0.111277f,  -0.841291f,   0.637841f,        0.0f,       -7.0f,       8.11f,       1.07f,        0.7f},  // sprite 1
    {0, "typo3.png",       -0.618118f,   0.111277f,  -0.013166f,   0.520653f,        0.0f,      -10.4f,       8.11f,        0.0f,        0.7f},  // sprite 2
    {0, "typo2.png",       -0.618118f,   0.111277f,  -0.122541f,   0.919091f,        0.0f,        9.8f,        8.8f,       3.04f,       0.34f},  // sprite 3
    {0, "m0.png",            0.15532f,   0.134714f,  -0.841291f,   0.637841f,        0.0f,       -7.0f,       8.11f,       1.07f,        0.7f},  // sprite 4
    {0, "m0.png",            1.43657f,  -0.787161f,  -0.747541f,   0.426903f,        0.0f,      -16.2f,       8.32f,       1.07f,        0.7f},  // sprite 5
    {1, "typo0.png",       -1.830647f,   0.322966f,  -2.219288f,      0.281f,        0.0f,       17.6f,       6.79f,        3.5f,       0.27f},  // sprite 1
    {1, "typo0.png",        1.713677f,   -1.70847f,    0.38738f,  -1.654673f,        0.0f,      -19.4f,      10.28f,       1.93f,        0.7f},  // sprite 2
    {1, "typo2.png",       -0.242648f,   -1.98704f,  -0.481619f,  -1.545844f,        0.0f,        0.0f,       6.43f,       1.68f,       0.28f},  // sprite 3
    {2, "typo0.png",        0.332219f,    0.14107f,   0.906851f,  -0.236809f,       18.0f,       12.4f,       8.61f,       0.63f,        0.5f},  // sprite 1
    {2, "typo1.png",        2.340031f,  -0.241742f,   2.328726f,   0.185066f,        0.0f,        0.0f,      11.23f,       0.63f,        0.4f},  // sprite 2
    {2, "typo0.png",       -1.370906f,   -0.73393f,  -1.788461f,  -0.424309f,       18.0f,       -7.4f,       8.61f,       0.63f,        0.5f},  // sprite 3
    {3, "typo0.png",        0.605656f,  -0.491742f,   1.000601f,   0.013191f,      293.0f,       -6.4f,       7.33f,       1.92f,        0.5f},  // sprite 1
    {3, "typo2.png",       -1.370906f,   -0.73393f,  -1.788461f,  -0.424309f,       18.0f,       -7.4f,       8.61f,       0.63f,        0.5f},  // sprite 2
    {4, "typo3.png",        0.688791f,  -0.037507f,   0.946603f,  -0.232819f,      338.0f,       -7.8f,       8.06f,       1.37f,        0.7f},  // sprite 1
    {4, "star.png",          0.35848f,   2.171795f,    0.80345f,   2.373815f,        0.0f,       56.2f,       2.83f,       1.09f,       0.56f},  // sprite 2
    {4, "star.png",          0.35848f,   2.171795f,    0.80345f,   2.373815f,      166.0f,      -55.2f,       2.83f,        0.0f,       0.54f},  // sprite 3
    {4, "star.png",          0.35848f,   2.171795f,    0.80345f,   2.373815f,      259.0f,       76.0f,       2.83f,       0.89f,       0.34f},  // sprite 4
    {4, "path1.png",       -1.762916f,   0.381909f,  -1.762916f,   0.381909f,       51.0f,      -13.0f,      11.92f,      -1.64f,        0.7f},  // sprite 5
    {5, "typo3.png",        1.216904f,   1.425048f,   1.673488f,   1.417118f,        0.0f,        0.0f,       4.65f,        0.0f,        0.7f},  // sprite 1
    {5, "typo3.png",       -2.111221f,   0.198486f,  -1.537449f,   0.198368f,      181.0f,        0.0f,        6.6f,       0.72f,        0.7f},  // sprite 2
    {5, "big-circle.png",   1.070627f,  -1.190189f,    1.07963f,  -0.846194f,      265.0f,       -5.2f,       6.44f,       0.82f,        0.7f},  // sprite 3
    {6, "path1.png",       -0.618118f,   0.111277f,   0.049334f,   0.294091f,        0.0f,        9.8f,        8.8f,       1.07f,       0.39f},  // sprite 1
    {6, "path1.png",       -0.618118f,   0.111277f,  -0.013166f,   0.520653f,        0.0f,        9.8f,        8.8f,       3.04f,       0.39f},  // sprite 2
    {6, "l2.png",           1.210007f,  -1.154348f,   0.369646f,  -0.862159f,        0.0f,        9.8f,       9.79f,       1.07f,       0.39f},  // sprite 3
    {6, "l2.png",          -0.680618f,  -0.724661f,   0.018084f,  -0.784034f,        0.0f,        9.8f,       9.78f,       1.07f,       0.39f},  // sprite 4
    {6, "typo0.png",       -0.227493f,  -0.060598f,   0.416521f,   0.372216f,        0.0f,        9.6f,       7.81f,       1.71f,       0.55f},  // sprite 5
    {7, "path1.png",        1.585007f,  -0.529348f,   1.502459f,  -0.143409f,      239.0f,        9.8f,        8.8f,       1.07f,       0.54f},  // sprite 1
    {7, "typo1.png",       -0.618118f,   0.111277f,  -0.013166f,   0.520653f,      235.0f,      -10.4f,       8.11f,        0.0f,        0.4f},  // sprite 2
    {7, "typo1.png",       -0.618118f,   0.111277f,  -0.122541f,   0.919091f,        0.0f,        9.8f,        8.8f,       3.04f,       0.37f},  // sprite 3
    {7, "star.png",        -0.357918f,   0.124147f,   0.151206f,   0.270221f,      123.0f,      -32.2f,      10.03f,       1.22f,        0.3f},  // sprite 4
    {7, "star.png",        -0.357918f,   0.124147f,   0.151206f,   0.270221f,      127.0f,       38.0f,      10.03f,        0.0f,       0.47f},  // sprite 5
};
static_assert(sizeof(CompositionTable) / sizeof(CompositionTable[0]) == CompositionSpriteCount,
              "31 sprites in eight compositions");

// --- Queries
int compositionSize(int type);   // sprites of a type: 2..5; 0 outside 0..7
int compositionFirst(int type);  // index of the type's first row in CompositionTable; -1 outside 0..7

// --- Spawning
void spawnComposition(int type, float lifetime);  // type 0..7 (others: nothing); lifetime: seconds per sprite
