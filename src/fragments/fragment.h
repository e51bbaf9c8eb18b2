// The base of every effect: a start time, a lifetime and one operation, draw(time). Times are
// demoTime() seconds (the wall clock), never the music position.
#pragma once

class Fragment {
public:
    explicit Fragment(float lifetime);  // start = demoTime() now
    virtual ~Fragment() = default;

    virtual void draw(float time);  // time in [start, start + lifetime]; the base draws nothing

    float start;      // seconds, demoTime() at construction
    float lifetime;   // seconds
};
