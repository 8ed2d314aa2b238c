// What the surface visualizer shows, free of widgets: a copy of the surfaces it was handed, the
// viewing angles and zoom, and the projection of both into flat drawing lists for a window.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "abi/surfstore.h"

namespace surfview {

// Display flags (OpredelitFlagi). A surface without triangles is always drawn as its line.
inline constexpr std::uint32_t kFlagPoints = 0x0001;  // vertices as dots
inline constexpr std::uint32_t kFlagEdges = 0x0002;   // triangle edges (wire frame)
inline constexpr std::uint32_t kFlagFaces = 0x0004;   // shaded triangles
inline constexpr std::uint32_t kFlagAxes = 0x1000;    // coordinate axes
inline constexpr std::uint32_t kDefaultFlags = 0x1004;

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

struct Mesh {
    std::string name;  // UTF-8
    bool marked = false;
    std::vector<Vec3> vertices;
    std::vector<std::array<std::uint32_t, 3>> triangles;  // every index names a vertex
};

// Copies the surfaces of a surface set descriptor. Records that are not keeper records, or whose
// counts do not fit their room, are passed over; triangles that name a missing vertex or a vertex
// with a coordinate that is not finite are dropped. False for a descriptor that cannot be read
// (null first record with records counted, a record size smaller than a surface record, more
// records than the visualizer takes).
bool copySurfaces(const contracts::SurfaceSetDescriptor* set, std::vector<Mesh>& out);

// Reorders the records of `set` in place by the depth of their centres along the viewing
// direction given by `yaw` and `pitch`: farthest first when `direction` >= 0, nearest first
// otherwise. Records without vertices keep their places at the end in their former order.
bool sortByDepth(contracts::SurfaceSetDescriptor* set, double yaw, double pitch,
                 std::int32_t direction);

struct Point2 {
    double x = 0, y = 0;
};

// One frame, in window pixels, ready to be painted in order: faces and mesh vertices far to near,
// then lines, their points and the axes on top. The picture is fitted to the window with the
// axes, when they are drawn from the origin, inside it.
struct Frame {
    struct Face {
        std::array<Point2, 3> corners;
        double depth = 0;  // larger is nearer
        double light = 1;  // 0.25 .. 1
        int mesh = 0;
    };
    struct Segment {
        Point2 a, b;
        int mesh = 0;
    };
    struct Axis {
        Point2 from, to;
        char label = 'X';
    };
    // A vertex of a triangle mesh; painted among the faces by depth, so that faces in front of
    // it hide it.
    struct Dot {
        Point2 at;
        double depth = 0;  // larger is nearer
        int mesh = 0;
    };
    std::vector<Face> faces;
    bool faceEdges = false;  // outline every face
    bool fillFaces = false;
    std::vector<Dot> vertexDots;                 // far to near
    std::vector<Segment> lines;                  // lines of surfaces without triangles
    std::vector<std::pair<Point2, int>> points;  // vertices of those lines
    std::vector<Axis> axes;
    // Axes from the origin of the surfaces' coordinates when it lies near them; otherwise a
    // small triad of the axes' directions in the lower left corner.
    bool axesAtOrigin = true;
};

class Scene {
  public:
    // Takes the surfaces to show; those of extreme size are rescaled by a power of two.
    void setMeshes(std::vector<Mesh> meshes);
    const std::vector<Mesh>& meshes() const { return meshes_; }

    // Mouse drag in pixels; wheel in eighths of a degree (120 per notch).
    void rotate(double dxPixels, double dyPixels);
    void zoom(int wheelDelta);
    void resetView();

    double yaw() const { return yaw_; }
    double pitch() const { return pitch_; }
    double zoomFactor() const { return zoom_; }

    // The picture for a window of `width` x `height` pixels with the given display flags.
    Frame frame(int width, int height, std::uint32_t flags) const;

  private:
    Vec3 toView(const Vec3& p) const;  // rotated about the centre; z towards the viewer

    std::vector<Mesh> meshes_;
    Vec3 centre_;
    double radius_ = 1;
    double yaw_ = 0;
    double pitch_ = 0;
    double zoom_ = 1;
};

// Default viewing angles, radians: the patterns' axis (+z) points up and slightly towards the
// viewer.
inline constexpr double kDefaultYaw = -0.6;
inline constexpr double kDefaultPitch = 0.45;

}  // namespace surfview
