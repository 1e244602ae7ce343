// The meshes the build makes for the creatures, the guard tower's fireball
// and the stone figure load on the device, each with its triangles within
// its vertices and shadow spheres for the shadow pass.
#include <gtest/gtest.h>

#include <string>

#include "engine/mesh.h"
#include "object_render_fixture.h"

namespace
{
class CreatureMeshes : public ObjectRenderTest<0>
{
};

TEST_F(CreatureMeshes, LoadWithTrianglesAndShadowSpheres)
{
  for (const char* name : {"ctrplr_head", "ctrplr_tail", "wyvern_head", "wyvern_tail", "bird", "humanoid", "missile"}) {
    const std::string path = std::string(QM_BIN_DIR) + "/meshes/" + name + ".mesh";
    Mesh* m = load_mesh_file(path.c_str(), false);
    ASSERT_NE(m, nullptr) << name;
    EXPECT_GT(m->numFaces, 8u) << name;
    EXPECT_GE(m->numVerts, m->numFaces * 3) << name;
    EXPECT_GT(m->spheres.num, 0) << name;
    EXPECT_STREQ(m->shader.data, "inst_simple.sh") << name;
    destroy_mesh(m);
  }
}
}  // namespace
