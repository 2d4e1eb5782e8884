// The bolt run: the product's bolt as a solid, extruded from its silhouette,
// turning one full turn about its vertical axis. Faces are painted back to
// front; the lit front face is bright yellow, the back a darker ember, and
// the side walls carry the picture when the bolt is edge-on.
#include <algorithm>
#include <vector>

#include "palette.h"
#include "runs.h"
#include "shapes.h"
#include "turn_3d.h"

namespace art {
namespace {

using turn::Vec3;

constexpr float kBoltHeight = 116;  // pixels, tip to top
constexpr float kThickness = 10;    // pixels, front face to back face
constexpr float kCameraDistance = 430;

enum class FaceKind { Front, Back, Wall };

struct Face {
  FaceKind kind;
  std::vector<Vec3> corners;  // turned into world space
  Vec3 normal;                // outward, world space
};

struct Pose {
  float angle;
  turn::Camera camera;
};

// The solid in its own frame: the silhouette in x/y, the front face at
// z = -thickness/2 facing the viewer at angle 0.
std::vector<Face> solid_faces(float angle) {
  Contour outline = bolt_outline();
  std::vector<Vec3> front, back;
  for (Vec2 p : outline) {
    front.push_back({p.x * kBoltHeight, p.y * kBoltHeight, -kThickness / 2});
    back.push_back({p.x * kBoltHeight, p.y * kBoltHeight, kThickness / 2});
  }
  std::vector<Face> faces;
  faces.push_back({FaceKind::Front, front, {0, 0, -1}});
  faces.push_back({FaceKind::Back, back, {0, 0, 1}});
  for (size_t i = 0; i < outline.size(); ++i) {
    size_t j = (i + 1) % outline.size();
    Vec2 d = outline[j] - outline[i];
    // The outline runs clockwise on screen, so outward is (dy, -dx).
    Vec3 n = turn::normalized({d.y, -d.x, 0});
    faces.push_back({FaceKind::Wall, {front[i], front[j], back[j], back[i]}, n});
  }
  for (Face& f : faces) {
    for (Vec3& c : f.corners) c = turn::turn_y(c, angle);
    f.normal = turn::turn_y(f.normal, angle);
  }
  return faces;
}

Vec3 centroid(const Face& f) {
  Vec3 sum;
  for (Vec3 c : f.corners) sum = sum + c;
  return sum * (1.0f / static_cast<float>(f.corners.size()));
}

bool faces_viewer(const Face& f, const Pose& pose) {
  Vec3 eye{0, 0, -pose.camera.distance};
  return turn::dot(f.normal, centroid(f) - eye) < 0;
}

// The face's outline on screen, wound so its signed area is positive: every
// visible face then adds to the winding and their union fills solid.
Contour screen_outline(const Face& f, const Pose& pose) {
  Contour c;
  for (Vec3 p : f.corners) c.push_back(pose.camera.project(p));
  return clockwise(std::move(c));
}

// Light falls off from the upper left across the whole solid; -1 at the
// lower right corner of the bolt to +1 at the upper left.
float sweep_light(Vec3 world) { return -(world.x * 0.55f + world.y * 0.85f) / (kBoltHeight * 0.5f); }

// The front face's rim is rounded off over a pixel or two; each stretch of
// rim is lit by the normal halfway between the face and its side wall.
struct Bevel {
  Vec2 a, b;      // the edge, in bolt units
  Vec2 inward;    // unit, towards the face
  float lift;     // how much lighter (or darker) the rim is than the face
};

std::vector<Bevel> front_bevels(const Face& front, float angle) {
  Contour outline = bolt_outline();
  float face_light = turn::turning_light().diffuse(front.normal);
  std::vector<Bevel> bevels;
  for (size_t i = 0; i < outline.size(); ++i) {
    Vec2 a = outline[i], b = outline[(i + 1) % outline.size()];
    Vec2 d = (b - a) * (1 / length(b - a));
    Vec3 wall = turn::turn_y({d.y, -d.x, 0}, angle);
    Vec3 rim = turn::normalized(front.normal + wall * 0.9f);
    bevels.push_back({a, b, {-d.y, d.x}, turn::turning_light().diffuse(rim) - face_light});
  }
  return bevels;
}

float bevel_lift(const std::vector<Bevel>& bevels, Vec2 p) {
  const float width = 1.8f / kBoltHeight;
  float lift = 0;
  for (const Bevel& e : bevels) {
    Vec2 ab = e.b - e.a;
    float along = dot(p - e.a, ab) / dot(ab, ab);
    float in = dot(p - e.a, e.inward);
    if (along < 0 || along > 1 || in < 0 || in > width) continue;
    float k = 1 - in / width;
    if (std::fabs(e.lift * k) > std::fabs(lift)) lift = e.lift * k;
  }
  return lift;
}

Color front_colour(const Face& f, const std::vector<Bevel>& bevels, const Pose& pose, Vec2 s) {
  Vec3 hit;
  if (!pose.camera.unproject(s, f.corners[0], f.normal, hit)) return palette::bolt_amber;
  Vec3 local = turn::turn_y(hit, -pose.angle);
  float u = local.x / kBoltHeight, v = local.y / kBoltHeight;
  float lit = turn::turning_light().diffuse(f.normal);
  float t = 0.64f + 0.3f * lit + 0.16f * sweep_light(hit) + 0.9f * bevel_lift(bevels, {u, v});
  Color base = turn::ramp(palette::bolt_ember, palette::bolt_amber, palette::bolt_yellow, t);
  // A soft sheen that slides along the face as it turns, brightest when the
  // face tips towards the light.
  float band = (u * 0.9f + v * 0.45f) - (-0.12f + 0.32f * math::sin(pose.angle));
  float sheen = math::exp(-band * band / 0.006f) * (0.28f + 0.5f * turn::turning_light().specular(f.normal, 6));
  return mix(base, mix(palette::bolt_yellow, palette::white, 0.75f), clamp01(sheen));
}

Color back_colour(const Face& f, const Pose& pose, Vec2 s) {
  Vec3 hit;
  if (!pose.camera.unproject(s, f.corners[0], f.normal, hit)) return palette::bolt_ember;
  float lit = turn::turning_light().diffuse(f.normal);
  float t = 0.25f + 0.5f * lit + 0.18f * sweep_light(hit);
  return turn::ramp(palette::bolt_ember * 0.35f, palette::bolt_ember * 0.8f, palette::bolt_amber * 0.85f, t);
}

Color wall_colour(const Face& f, Vec2 s, Vec2 centre) {
  float lit = turn::turning_light().diffuse(f.normal);
  float shine = turn::turning_light().specular(f.normal, 12);
  float along = (centre.y - s.y) / kBoltHeight;  // brighter towards the top
  float t = 0.2f + 0.55f * lit + 0.16f * along;
  Color c = turn::ramp(palette::bolt_ember * 0.35f, palette::bolt_ember, palette::bolt_amber, t);
  return mix(c, palette::bolt_amber, 0.5f * shine);
}

void draw_background(Canvas& canvas, Vec2 centre, float glow) {
  float w = static_cast<float>(canvas.width()), h = static_cast<float>(canvas.height());
  // Darken towards the corners so the screen has a little depth.
  canvas.blend_field(
      [w, h](float x, float y) {
        float dx = (x - w / 2) / (w / 2), dy = (y - h / 2) / (h / 2);
        return 0.55f * smoothstep(0.6f, 1.6f, std::sqrt(dx * dx + dy * dy));
      },
      palette::black);
  canvas.glow(centre, 36, palette::bolt_amber, glow * 0.34f);
  canvas.glow(centre, 16, palette::bolt_yellow, glow * 0.12f);
}

}  // namespace

Image565 draw_bolt(int index, int count, int width, int height) {
  Canvas canvas(width, height, palette::charcoal);
  float angle = 2 * kPi * static_cast<float>(index) / static_cast<float>(std::max(count, 1));
  Vec2 centre{static_cast<float>(width) / 2, static_cast<float>(height) / 2 - 2};
  Pose pose{angle, {centre, kCameraDistance}};

  // The glow follows how much of the lit front we see; the back glows faintly.
  float facing = math::cos(angle);
  draw_background(canvas, centre, std::max(facing, 0.0f) * 0.85f + std::max(-facing, 0.0f) * 0.25f + 0.12f);

  std::vector<Face> visible;
  for (const Face& f : solid_faces(angle))
    if (faces_viewer(f, pose)) visible.push_back(f);
  std::sort(visible.begin(), visible.end(),
            [](const Face& a, const Face& b) { return centroid(a).z > centroid(b).z; });

  // The whole silhouette first, in a wall tone, so the anti-aliased seams
  // between neighbouring faces show the solid rather than the background.
  Path silhouette;
  for (const Face& f : visible) silhouette.add(screen_outline(f, pose));
  canvas.fill(silhouette, palette::bolt_ember * 0.8f);

  for (const Face& f : visible) {
    Path outline(screen_outline(f, pose));
    switch (f.kind) {
      case FaceKind::Front: {
        std::vector<Bevel> bevels = front_bevels(f, angle);
        canvas.fill(outline, [&](float x, float y) { return front_colour(f, bevels, pose, {x, y}); });
        break;
      }
      case FaceKind::Back:
        canvas.fill(outline, [&](float x, float y) { return back_colour(f, pose, {x, y}); });
        break;
      case FaceKind::Wall:
        canvas.fill(outline, [&](float x, float y) { return wall_colour(f, {x, y}, centre); });
        break;
    }
  }
  turn::dither(canvas);
  return canvas.to_image();
}

}  // namespace art
