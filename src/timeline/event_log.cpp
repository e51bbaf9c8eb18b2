// EventLog. Floats are written with nine significant digits at most, trimmed to the shortest text
// that reads back as the same single-precision value, so the log holds the exact values the show used.
#include "timeline/event_log.h"

#include <cmath>
#include <cstdlib>

#include "utils/format.h"

std::string jsonNumber(float value)
{
    if (!std::isfinite(value)) return "null";
    for (int digits = 1; digits <= 9; ++digits) {
        const std::string text = formatString("%.*g", digits, double(value));
        if (std::strtof(text.c_str(), nullptr) == value) return text;
    }
    return formatString("%.9g", double(value));
}

std::string jsonString(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out += formatString("\\u%04x", static_cast<unsigned char>(c));
        } else {
            out += c;
        }
    }
    return out + "\"";
}

EventLog::EventLog(std::FILE* out) : out_(out) {}

void EventLog::writeOnly(long firstFrame, long lastFrame)
{
    first_ = firstFrame;
    last_ = lastFrame;
}

void EventLog::line(const std::string& text)
{
    if (frame_ < first_ || frame_ > last_) return;
    std::fputs(text.c_str(), out_);
    std::fputc('\n', out_);
}

void EventLog::frameStarted(const FrameEvent& e)
{
    ++frame_;
    line(formatString("{\"event\":\"frame\",\"frame\":%ld,\"musicTime\":%s,\"demoTime\":%s}", frame_,
                      jsonNumber(e.musicTime).c_str(), jsonNumber(e.demoTime).c_str()));
}

void EventLog::cueFired(const CueEvent& e)
{
    line(formatString("{\"event\":\"cue\",\"frame\":%ld,\"cue\":%d,\"cueTime\":%s,\"type\":%d,\"musicTime\":%s}",
                      frame_, e.cueIndex, jsonNumber(e.cueTime).c_str(), e.type, jsonNumber(e.musicTime).c_str()));
}

std::string EventLog::fragmentHead(const char* kind, const Fragment& f, const Insertion& at) const
{
    return formatString("{\"event\":\"fragment\",\"frame\":%ld,\"kind\":\"%s\",\"index\":%zu,\"lengthBefore\":%zu,"
                        "\"start\":%s,\"lifetime\":%s",
                        frame_, kind, at.index, at.lengthBefore, jsonNumber(f.start).c_str(),
                        jsonNumber(f.lifetime).c_str());
}

void EventLog::texCreated(const TexFrag& f, const Insertion& at)
{
    line(fragmentHead(fragmentKindName(FragmentKind::Tex), f, at) +
         formatString(",\"colorIndex\":%d,\"fromX\":%s,\"fromY\":%s,\"toX\":%s,\"toY\":%s,\"angle\":%s,\"spin\":%s,"
                      "\"scale\":%s,\"growth\":%s,\"alpha\":%s,\"textureName\":%s}",
                      f.colorIndex, jsonNumber(f.fromX).c_str(), jsonNumber(f.fromY).c_str(), jsonNumber(f.toX).c_str(),
                      jsonNumber(f.toY).c_str(), jsonNumber(f.angle).c_str(), jsonNumber(f.spin).c_str(),
                      jsonNumber(f.scale).c_str(), jsonNumber(f.growth).c_str(), jsonNumber(f.alpha).c_str(),
                      jsonString(f.textureName).c_str()));
}

void EventLog::bezierCreated(const BezierFrag& f, const Insertion& at)
{
    line(fragmentHead(fragmentKindName(FragmentKind::Bezier), f, at) +
         formatString(",\"curveIndex\":%d,\"colorIndex\":%d}", f.curveIndex, f.colorIndex));
}

void EventLog::electroCreated(const ElectroFrag& f, const Insertion& at)
{
    line(fragmentHead(fragmentKindName(FragmentKind::Electro), f, at) +
         formatString(",\"pointIndex\":%d,\"textureIndex\":%d,\"colorIndex\":%d,\"angle\":%s,\"spin\":%s,"
                      "\"scale\":%s,\"growth\":%s}",
                      f.pointIndex, f.textureIndex, f.colorIndex, jsonNumber(f.angle).c_str(),
                      jsonNumber(f.spin).c_str(), jsonNumber(f.scale).c_str(), jsonNumber(f.growth).c_str()));
}

void EventLog::gridCreated(const CircleGridFrag& f, const Insertion& at)
{
    std::string cells;
    for (const GridCell& c : f.cells) {
        if (!cells.empty()) cells += ',';
        cells += formatString("{\"x\":%s,\"y\":%s,\"radius\":%s,\"colorIndex\":%d,\"alpha\":%s}", jsonNumber(c.x).c_str(),
                              jsonNumber(c.y).c_str(), jsonNumber(c.radius).c_str(), c.colorIndex,
                              jsonNumber(c.alpha).c_str());
    }
    line(fragmentHead(fragmentKindName(FragmentKind::CircleGrid), f, at) + ",\"cells\":[" + cells + "]}");
}
