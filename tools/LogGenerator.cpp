// The mix of a generated log, modelled on an evening's play so that loading and display benchmarks meet
// the same proportions as real logs:
//
//   ~47% public lines "Name: text" or "Name waves.", a tenth of them game feedback (half "You have
//        gathered", a quarter each "You are too far away ..." and "You have received"), so the public
//        chat "Public/Global" is always by far the largest chat;
//   ~33% channel lines over six channels: Trade, LFG, Help and Lore written "[Trade: Name] text",
//        Guild and Officer written "[Guild] Name: text" (the reader gives those no name, so they share
//        the chat "");
//   ~20% tells, half "Name tells you: text" and half "You tell Name: text", over 36 players with
//        falling shares, one of them (Halvard) rare enough to be a small chat for benchmarks;
//   and now and then one or two empty lines.
//
// About a fifth of the phrases carry windows-1252 characters (é, “ ”, ’, €, …). Timestamps start late
// on the last day of a month (chosen by the seed) and advance 0 to 37 seconds a line, 2.5 on average,
// so even a small log crosses a midnight and a month end and a 1 GB log spans more than a year.
//
// Speed matters more than elegance here: every piece of text is encoded once up front, each line is
// copied together with memcpy into a large block, and the random numbers come from our own generator
// so that the same seed gives the same bytes with any compiler and standard library.

#include "LogGenerator.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace loggen {
namespace {

// ---- encoding -------------------------------------------------------------------------------------

// Unicode code points of windows-1252 bytes 0x80 to 0x9F; 0 where the code page leaves a byte undefined.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The texts below are written in UTF-8 for legibility; logs are windows-1252.
std::string toWindows1252(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        char32_t cp = lead;
        int extra = 0;
        if (lead >= 0xF0) {
            cp = lead & 0x07;
            extra = 3;
        } else if (lead >= 0xE0) {
            cp = lead & 0x0F;
            extra = 2;
        } else if (lead >= 0xC0) {
            cp = lead & 0x1F;
            extra = 1;
        }
        ++i;
        for (; extra > 0 && i < utf8.size(); --extra, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);

        char byte = '?';
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            byte = static_cast<char>(cp);
        } else {
            for (int b = 0; b < 32; ++b) {
                if (kHighControls[b] != 0 && kHighControls[b] == cp)
                    byte = static_cast<char>(0x80 + b);
            }
        }
        out.push_back(byte);
    }
    return out;
}

// ---- random numbers -------------------------------------------------------------------------------

std::uint64_t splitMix(std::uint64_t &state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// xoshiro256**: fast, and defined bit for bit, unlike the standard distributions.
class Rng {
public:
    explicit Rng(std::uint64_t seed)
    {
        for (auto &word : s_)
            word = splitMix(seed);
    }
    std::uint64_t next()
    {
        const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }
    // 0 to n - 1 (the bias of the multiply-shift is far below what a log could show).
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(((next() >> 32) * n) >> 32); }
    std::uint32_t bits16() { return static_cast<std::uint32_t>(next() >> 48); }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t s_[4];
};

// ---- the made-up world ----------------------------------------------------------------------------

constexpr std::string_view kLogOwner = "Corvane";

// Tell partners in falling order of their share; the last one is the small chat.
constexpr std::string_view kPlayers[] = {
    "Orrik",  "Veyla",  "Brannoc", "Thessaly", "Mirelle", "Kestin",  "Dagrun",  "Ravenna", "Quill",
    "Élodie", "Aldwin", "Brisa",   "Caelum",   "Dorrin",  "Emberly", "Fenwick", "Garrow",  "Hesper",
    "Isaura", "Jorvik", "Kaelen",  "Lysandre", "Maelis",  "Nerys",   "Oswin",   "Perrin",  "Rhosyn",
    "Sable",  "Tamsin", "Ulfar",   "Vesna",    "Wrenna",  "Zoë",     "Anaïs",   "Søren",   "Halvard",
};
constexpr int kPlayerCount = static_cast<int>(std::size(kPlayers));
constexpr int kSpeakerCount = kPlayerCount - 1; // the small chat's player keeps quiet elsewhere
static_assert(kPlayers[kPlayerCount - 1] == kSmallChatName);

struct Channel {
    std::string_view name;
    bool colon; // "[Trade: Name] text" rather than "[Guild] Name: text"
    int per100; // share of channel lines
};
constexpr Channel kChannels[] = {
    {"Trade", true, 28}, {"Guild", false, 24}, {"LFG", true, 16},
    {"Help", true, 12},  {"Lore", true, 10},   {"Officer", false, 10},
};
constexpr int kChannelCount = static_cast<int>(std::size(kChannels));

// What people say. None starts with "tell" or "tells": after "Name:" that word would make a public line
// read as a tell.
constexpr std::string_view kPhrases[] = {
    "anyone selling ore?",
    "LF2M crypt run, need tank",
    "how do I reach the north pass?",
    "where is the ferry to Saltmere?",
    "that boss hits hard",
    "see you at the gate",
    "thanks for the help",
    "sure, 5 minutes",
    "are you there?",
    "meet me at the gate",
    "can you craft a bow?",
    "guild meeting at the hall tonight",
    "anyone up for the arena?",
    "selling iron ore, 12 stacks",
    "need a healer for the crypt",
    "has anyone seen the eclipse event?",
    "grats on the level",
    "good night all",
    "later!",
    "lol",
    "brb",
    "sent you 20 coins",
    "on my way",
    "WTB moonleaf x40, paying 3 silver each",
    "the bridge at Greyford is bugged again, watch your step",
    "does the quest chain in the marsh give a cloak or a ring at the end? asking for a friend",
    "LFM tower run tonight, 2 dps and a healer, meet at the east gate after dinner",
    "naïve question: how do I dye armor?",
    "wts iron ingots, 4€ each… just kidding, 40 silver",
    "the café in Brightwater sells “honey bread” now",
    "the old king’s tomb is under the lake",
    "résumé of the raid: we won",
    "buying “moonleaf”, paying well",
    "that’s the Déjà Vu quest, skip it",
    "price check: “Ember Blade” – anyone?",
};

constexpr std::string_view kEmotes[] = {"waves.", "laughs.", "cheers!", "bows.", "dances.", "sighs."};

constexpr std::string_view kResources[] = {"iron ore", "moonleaf", "copper ore", "ashwood", "silverweed"};

constexpr std::string_view kFeedback[FeedbackKindCount] = {
    "You have gathered",
    "You are too far away from the resource node to gather resources from it.",
    "You have received",
};

// Chat slots for counting: the public chat, each named channel, the unnamed channels, the players.
constexpr int kPublicSlot = 0;
constexpr int kUnnamedChannelSlot = 1;
constexpr int kFirstChannelSlot = 2; // indexed by channel; the colon-less ones are never counted here
constexpr int kFirstPlayerSlot = kFirstChannelSlot + kChannelCount;
constexpr int kSlotCount = kFirstPlayerSlot + kPlayerCount;

// Everything text, encoded once, plus the lookup tables that turn 16 random bits into a weighted choice.
struct World {
    std::vector<std::string> players, phrases, emotes, resources;
    std::vector<std::string> channelOpen; // "[Trade: " or "[Guild] "
    std::string marketCoins = toWindows1252(" coins from the market (“tax” 2€).");
    std::array<std::uint8_t, 65536> partnerOf{};
    std::array<std::uint8_t, 100> channelOf{};

    World()
    {
        for (auto p : kPlayers)
            players.push_back(toWindows1252(p));
        for (auto p : kPhrases)
            phrases.push_back(toWindows1252(p));
        for (auto e : kEmotes)
            emotes.push_back(toWindows1252(e));
        for (auto r : kResources)
            resources.push_back(toWindows1252(r));
        for (const Channel &c : kChannels)
            channelOpen.push_back("[" + std::string(c.name) + (c.colon ? ": " : "] "));

        int at = 0;
        for (int c = 0; c < kChannelCount; ++c)
            for (int k = 0; k < kChannels[c].per100; ++k)
                channelOf[at++] = static_cast<std::uint8_t>(c);

        // The small chat gets about one tell in two thousand; the others fall off as 1/rank, so a few
        // friends carry most tells and many players have only a handful.
        constexpr std::uint32_t kSmallShare = 33;
        constexpr std::uint64_t kRest = 65536 - kSmallShare;
        std::uint64_t weights[kPlayerCount - 1];
        std::uint64_t total = 0;
        for (int i = 0; i < kPlayerCount - 1; ++i)
            total += weights[i] = 720720 / (i + 1);
        std::uint64_t cumulative = 0;
        std::size_t from = 0;
        for (int i = 0; i < kPlayerCount - 1; ++i) {
            cumulative += weights[i];
            const auto to = static_cast<std::size_t>(kRest * cumulative / total);
            std::fill(partnerOf.begin() + from, partnerOf.begin() + to, static_cast<std::uint8_t>(i));
            from = to;
        }
        std::fill(partnerOf.begin() + from, partnerOf.end(), static_cast<std::uint8_t>(kPlayerCount - 1));
    }
};

const World &theWorld()
{
    static const World kWorld;
    return kWorld;
}

// ---- the writer -----------------------------------------------------------------------------------

constexpr std::size_t kBlockSize = 4 << 20;
constexpr std::size_t kMaxLineSize = 1024; // far above the longest line the pieces can make

class Block {
public:
    Block() : data_(new char[kBlockSize]), end_(data_.get()) {}

    void put(std::string_view s)
    {
        std::memcpy(end_, s.data(), s.size());
        end_ += s.size();
    }
    void put(char c) { *end_++ = c; }
    void putNumber(std::uint32_t n)
    {
        char digits[10];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n != 0);
        while (count > 0)
            *end_++ = digits[--count];
    }
    void endLine()
    {
        end_[0] = '\r';
        end_[1] = '\n';
        end_ += 2;
    }
    std::size_t size() const { return static_cast<std::size_t>(end_ - data_.get()); }
    bool full() const { return size() > kBlockSize - kMaxLineSize; }
    const char *data() const { return data_.get(); }
    void clear() { end_ = data_.get(); }

private:
    std::unique_ptr<char[]> data_;
    char *end_;
};

// Seconds to the next line: often the same second, now and then a quiet spell; 2.5 on average.
std::uint32_t nextStep(Rng &rng)
{
    static constexpr std::uint8_t kSteps[16] = {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 3, 5, 8};
    const std::uint32_t r = rng.bits16();
    const std::uint32_t step = kSteps[r & 15];
    return step == 8 ? step + (r >> 4) % 30 : step;
}

} // namespace

// ---- LogClock -------------------------------------------------------------------------------------

LogClock::LogClock(int year, int month, int day, int secondsOfDay)
    : day_(std::chrono::sys_days(std::chrono::year(year) / month / day).time_since_epoch().count()),
      seconds_(static_cast<std::uint32_t>(secondsOfDay))
{
    std::memcpy(text_, "MM/dd/yyyy HH:mm:ss", sizeof text_);
    formatDate();
    formatTime();
}

void LogClock::advance(std::uint32_t seconds)
{
    if (seconds == 0)
        return;
    seconds_ += seconds;
    if (seconds_ >= 86400) {
        day_ += seconds_ / 86400;
        seconds_ %= 86400;
        formatDate();
    }
    formatTime();
}

void LogClock::formatDate()
{
    const std::chrono::year_month_day date{std::chrono::sys_days(std::chrono::days(day_))};
    const auto put = [this](int at, unsigned value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10)
            text_[at + i] = static_cast<char>('0' + value % 10);
    };
    put(0, static_cast<unsigned>(date.month()), 2);
    put(3, static_cast<unsigned>(date.day()), 2);
    put(6, static_cast<unsigned>(static_cast<int>(date.year())), 4);
}

void LogClock::formatTime()
{
    const std::uint32_t h = seconds_ / 3600, m = seconds_ / 60 % 60, s = seconds_ % 60;
    text_[11] = static_cast<char>('0' + h / 10);
    text_[12] = static_cast<char>('0' + h % 10);
    text_[14] = static_cast<char>('0' + m / 10);
    text_[15] = static_cast<char>('0' + m % 10);
    text_[17] = static_cast<char>('0' + s / 10);
    text_[18] = static_cast<char>('0' + s % 10);
}

// ---- generation -----------------------------------------------------------------------------------

const std::vector<std::string_view> &tellPartners()
{
    static const std::vector<std::string_view> kPartners(std::begin(kPlayers), std::end(kPlayers));
    return kPartners;
}

std::string_view feedbackText(FeedbackKind kind)
{
    return kFeedback[kind];
}

std::uint64_t Stats::allFeedbackLines() const
{
    std::uint64_t sum = 0;
    for (std::uint64_t n : feedbackLines)
        sum += n;
    return sum;
}

std::uint64_t Stats::linesOf(std::string_view chatName) const
{
    for (const ChatCount &c : chats) {
        if (c.name == chatName)
            return c.lines;
    }
    return 0;
}

Stats generate(const Options &options, const Sink &sink, bool *ok)
{
    const World &w = theWorld();
    Rng rng(options.seed);
    Stats stats;
    std::uint64_t slotLines[kSlotCount] = {};

    // Late on the last day of a month, so that even a small log crosses a midnight and a month end.
    std::uint64_t startBits = options.seed ^ 0x5EED5EED5EEDull;
    const std::uint64_t start = splitMix(startBits);
    const std::chrono::year_month_day_last lastDay{
        std::chrono::year(2004 + static_cast<int>(start % 6)),
        std::chrono::month_day_last(std::chrono::month(1 + static_cast<unsigned>((start >> 8) % 12)))};
    LogClock clock(static_cast<int>(lastDay.year()), static_cast<int>(static_cast<unsigned>(lastDay.month())),
                   static_cast<int>(static_cast<unsigned>(lastDay.day())),
                   22 * 3600 + static_cast<int>((start >> 16) % 3600));
    stats.firstTimestamp = clock.text();

    Block block;
    std::uint64_t flushed = 0;
    bool good = true;
    const auto flush = [&] {
        if (good && block.size() > 0)
            good = sink(block.data(), block.size());
        flushed += block.size();
        block.clear();
    };

    block.put("Chat log for ");
    block.put(kLogOwner);
    block.put(" started ");
    block.put(clock.text());
    block.endLine();
    ++stats.lines;

    while (good && flushed + block.size() < options.size) {
        if (block.full())
            flush();

        ++stats.lines;
        if (rng.below(150) == 0) {
            block.endLine();
            ++stats.emptyLines;
            continue;
        }

        clock.advance(nextStep(rng));
        block.put('[');
        block.put(clock.text());
        block.put("] ");

        const std::uint32_t kind = rng.below(1000);
        if (kind < 47) { // game feedback, a tenth of the public lines
            ++stats.publicLines;
            ++slotLines[kPublicSlot];
            const std::uint32_t which = rng.below(4);
            if (which < 2) {
                ++stats.feedbackLines[Gathered];
                block.put(kFeedback[Gathered]);
                block.put(' ');
                block.putNumber(1 + rng.below(20));
                block.put(' ');
                block.put(w.resources[rng.below(static_cast<std::uint32_t>(w.resources.size()))]);
                block.put('.');
            } else if (which == 2) {
                ++stats.feedbackLines[TooFar];
                block.put(kFeedback[TooFar]);
            } else {
                ++stats.feedbackLines[Received];
                block.put(kFeedback[Received]);
                const std::uint32_t what = rng.below(10);
                if (what < 7) {
                    block.put(' ');
                    block.putNumber(1 + rng.below(500));
                    block.put(" coins.");
                } else if (what < 9) {
                    block.put(" a Faded Map.");
                } else {
                    block.put(' ');
                    block.putNumber(1 + rng.below(50));
                    block.put(w.marketCoins);
                }
            }
        } else if (kind < 470) { // public chat
            ++stats.publicLines;
            ++slotLines[kPublicSlot];
            block.put(w.players[rng.below(kSpeakerCount)]);
            if (rng.below(8) == 0) {
                block.put(' ');
                block.put(w.emotes[rng.below(static_cast<std::uint32_t>(w.emotes.size()))]);
            } else {
                block.put(": ");
                block.put(w.phrases[rng.below(static_cast<std::uint32_t>(w.phrases.size()))]);
            }
        } else if (kind < 800) { // channels
            ++stats.channelLines;
            const int c = w.channelOf[rng.below(100)];
            block.put(w.channelOpen[c]);
            block.put(w.players[rng.below(kSpeakerCount)]);
            if (kChannels[c].colon) {
                ++stats.colonChannelLines;
                ++slotLines[kFirstChannelSlot + c];
                block.put("] ");
            } else {
                ++slotLines[kUnnamedChannelSlot];
                block.put(": ");
            }
            block.put(w.phrases[rng.below(static_cast<std::uint32_t>(w.phrases.size()))]);
        } else { // tells
            const int partner = w.partnerOf[rng.bits16()];
            ++slotLines[kFirstPlayerSlot + partner];
            if (rng.below(2) == 0) {
                ++stats.tellsReceived;
                block.put(w.players[partner]);
                block.put(" tells you: ");
            } else {
                ++stats.tellsSent;
                block.put("You tell ");
                block.put(w.players[partner]);
                block.put(": ");
            }
            block.put(w.phrases[rng.below(static_cast<std::uint32_t>(w.phrases.size()))]);
        }
        block.endLine();
    }
    flush();

    stats.bytes = flushed;
    stats.lastTimestamp = clock.text();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (slotLines[slot] == 0)
            continue;
        std::string name;
        if (slot == kPublicSlot)
            name = kLargestChatName;
        else if (slot >= kFirstPlayerSlot)
            name = kPlayers[slot - kFirstPlayerSlot];
        else if (slot >= kFirstChannelSlot)
            name = kChannels[slot - kFirstChannelSlot].name;
        stats.chats.push_back({std::move(name), slotLines[slot]});
    }
    std::stable_sort(stats.chats.begin(), stats.chats.end(),
                     [](const ChatCount &a, const ChatCount &b) { return a.lines > b.lines; });
    if (ok)
        *ok = good;
    return stats;
}

bool generateFile(const Options &options, const std::string &path, Stats *stats, std::string *error)
{
    const bool toStdout = path == "-";
    std::FILE *file = toStdout ? stdout : std::fopen(path.c_str(), "wb");
    if (!file) {
        if (error)
            *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
#ifdef _WIN32
    if (toStdout)
        _setmode(_fileno(stdout), _O_BINARY);
#endif
    // Blocks are already large; a second buffer would only copy them again.
    std::setvbuf(file, nullptr, _IONBF, 0);

    bool ok = false;
    const Stats result = generate(
        options,
        [file](const char *data, std::size_t size) { return std::fwrite(data, 1, size, file) == size; }, &ok);
    const int writeError = errno;
    const bool closed = toStdout ? std::fflush(file) == 0 : std::fclose(file) == 0;
    if (!ok || !closed) {
        if (error)
            *error = "cannot write " + path + ": " + std::strerror(ok ? errno : writeError);
        return false;
    }
    if (stats)
        *stats = result;
    return true;
}

std::string generateToString(const Options &options, Stats *stats)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(options.size) + kMaxLineSize);
    const Stats result = generate(options, [&out](const char *data, std::size_t size) {
        out.append(data, size);
        return true;
    });
    if (stats)
        *stats = result;
    return out;
}

} // namespace loggen
