// The example's scene: a point source in water above a steel half-space, its waves built by
// wavelib2 from the source point, advanced to the interface and split there; and the same split
// for a fan of single rays over every angle of incidence, for the picture's plot.
//
// Units: millimetres, microseconds, g/cm^3 (speeds in mm/us). Water: 1.48 mm/us, 1.0 g/cm^3;
// steel, taken as a fluid with the speed of its longitudinal waves: 5.9 mm/us, 7.8 g/cm^3.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "abi/wavelib2.h"
#include "platform/dynlib.h"

namespace wave_split {

struct Fluid {
    double speed;
    double density;
};

inline constexpr Fluid kWater{1.48, 1.0};
inline constexpr Fluid kSteel{5.9, 7.8};
inline constexpr double kSourceHeight = 10.0;  // above the interface, mm
inline constexpr double kConeDegrees = 40.0;  // the source radiates into this cone about the normal
inline constexpr int kRings = 60;             // rings of equal solid angle across the cone
inline constexpr int kAzimuths = 24;          // rays on each ring

// wavelib2 loaded from the program's folder, as any program of the suite loads it.
class Library {
  public:
    Library();
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool loaded() const { return error_.empty(); }
    const std::string& error() const { return error_; }  // UTF-8
    const WaveProcessorTable11& table() const { return table_; }

  private:
    platform::Module module_ = nullptr;
    WaveProcessorTable11 table_{};
    std::string error_;
};

struct Totals {
    std::uint32_t rays = 0;
    double energy = 0.0;
};

// One split element seen from the plane y = 0 (the section the picture shows): where the ray met
// the interface, and the shares of its energy that were reflected and that crossed.
struct SectionRay {
    double hitX = 0.0;
    double incidence = 0.0;  // angle of incidence, radians
    double reflectedShare = 0.0;
    bool transmitted = false;
    double transmittedShare = 0.0;
    double refractedX = 0.0;  // the refracted ray's unit direction in the section
    double refractedZ = 0.0;
};

// A point of the plot: the shares of one ray's energy, by its angle of incidence.
struct SharePoint {
    double incidence = 0.0;  // radians
    double share = 0.0;
};

struct SceneResult {
    Totals before;         // the incident set just before the split
    Totals reflected;      // the reflected set
    Totals transmitted;    // the transmitted set (its waves' own energies)
    Totals remaining;      // the incident elements that did not reach the interface
    double crossed = 0.0;  // the energy that crossed the interface
    std::vector<SectionRay> section;
    std::vector<SharePoint> reflectedByAngle;    // from the fan of single rays
    std::vector<SharePoint> transmittedByAngle;  // likewise
};

// Runs both splits. False (with a UTF-8 message) when wavelib2 refuses an operation or a set
// cannot be made.
bool runScene(const Library& library, SceneResult& result, std::string& error);

// The fluid model's closed form for a plane wave from `from` into `to` at `incidence` radians:
// the share of the energy reflected (|r|^2; 1 beyond the critical angle).
double reflectedShare(const Fluid& from, const Fluid& to, double incidence);
// The critical angle from `from` into `to` (radians); pi/2 when there is none.
double criticalAngle(const Fluid& from, const Fluid& to);
// The share of a point source's energy radiated evenly into the cone of half-angle `cone` that
// crosses the interface, by the closed form integrated over the cone's solid angle.
double crossedShareOfPointSource(const Fluid& from, const Fluid& to, double cone);

}  // namespace wave_split
