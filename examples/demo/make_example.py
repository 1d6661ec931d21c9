#!/usr/bin/env python3
"""Makes the example demo's own content: the meshes (one DirectX .x file per object layer), the textures,
the scene descriptions (scene-writer notation, turned into .qirn files by
`QIRN_UPDATE_EXAMPLES=1 scripts/test.sh -R demo_example`) and, with --music, music/theme.mp3 (a tone
sequence encoded by the `lame` program). Everything it writes is committed; run it from any folder."""
import argparse
import math
import os
import struct
import subprocess
import sys
import tempfile
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "renderer"))
from make_textures import png, particle  # noqa: E402

FPS = 25


def write(relative, text):
    path = os.path.join(HERE, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="\n") as f:
        f.write(text)


# ---- meshes ----

def x_mesh(name, faces, material, texture, emissive=0.0):
    """faces: lists of (position, normal, uv) corners, each face a convex polygon fanned into triangles."""
    verts, tris = [], []
    for face in faces:
        base = len(verts)
        verts += face
        tris += [(base, base + i, base + i + 1) for i in range(1, len(face) - 1)]

    def rows(items, fmt):
        return ",\n".join("  " + fmt(i) for i in items) + ";\n"

    def vec(v):
        return ";".join("%.4f" % c for c in v) + ";"

    out = ["xof 0303txt 0032\n\nMesh %s {\n %d;\n" % (name, len(verts))]
    out.append(rows([v[0] for v in verts], vec))
    out.append(" %d;\n" % len(tris) + rows(tris, lambda t: "3;%d,%d,%d;" % t))
    out.append(" MeshNormals {\n %d;\n" % len(verts) + rows([v[1] for v in verts], vec))
    out.append(" %d;\n" % len(tris) + rows(tris, lambda t: "3;%d,%d,%d;" % t) + " }\n")
    out.append(" MeshTextureCoords {\n %d;\n" % len(verts) + rows([v[2] for v in verts], vec) + " }\n")
    r, g, b = material
    out.append(" MeshMaterialList {\n  1;\n  %d;\n" % len(tris) + ",\n".join("  0" for _ in tris) + ";\n")
    out.append("  Material %s {\n   %.3f;%.3f;%.3f;1.0;;\n   20.0;\n   0.3;0.3;0.3;;\n   %.3f;%.3f;%.3f;;\n"
               % (name + "Material", r, g, b, emissive, emissive, emissive))
    out.append('   TextureFilename { "%s"; }\n  }\n }\n}\n' % texture)
    return "".join(out)


def box(size):
    s = size / 2.0
    faces = []
    for axis in range(3):
        for sign in (-1, 1):
            n = [0.0, 0.0, 0.0]
            n[axis] = float(sign)
            u_axis, v_axis = [(1, 2), (2, 0), (0, 1)][axis]
            corners = []
            for du, dv in ((-1, -1), (-1, 1), (1, 1), (1, -1)) if sign < 0 else ((-1, -1), (1, -1), (1, 1), (-1, 1)):
                p = [0.0, 0.0, 0.0]
                p[axis] = sign * s
                p[u_axis] = du * s
                p[v_axis] = dv * s
                corners.append((tuple(p), tuple(n), ((du + 1) / 2.0, (1 - dv) / 2.0)))
            faces.append(corners)
    return faces


def plate(width, height):
    w, h = width / 2.0, height / 2.0
    n = (0.0, 0.0, -1.0)
    return [[((-w, -h, 0.0), n, (0.0, 1.0)), ((-w, h, 0.0), n, (0.0, 0.0)),
             ((w, h, 0.0), n, (1.0, 0.0)), ((w, -h, 0.0), n, (1.0, 1.0))]]


def gem(radius):
    """An octahedron, flat-shaded."""
    tips = [(0, radius, 0), (0, -radius, 0)]
    ring = [(radius, 0, 0), (0, 0, radius), (-radius, 0, 0), (0, 0, -radius)]
    faces = []
    for tip in tips:
        for i in range(4):
            a, b = ring[i], ring[(i + 1) % 4]
            tri = [tip, a, b] if tip[1] > 0 else [tip, b, a]
            e1 = [tri[1][k] - tri[0][k] for k in range(3)]
            e2 = [tri[2][k] - tri[0][k] for k in range(3)]
            n = [e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]]
            length = math.sqrt(sum(c * c for c in n))
            n = tuple(-c / length for c in n)  # left-handed: the winding faces outward the other way
            faces.append([(tri[0], n, (0.5, 0.0)), (tri[1], n, (0.0, 1.0)), (tri[2], n, (1.0, 1.0))])
    return faces


# ---- textures ----

def image(width, height, colour):
    """Opaque RGBA rows of colour(x, y) -> (r, g, b)."""
    return [[c for x in range(width) for c in colour(x, y) + (255,)] for y in range(height)]


def checker(size=64, cells=8):
    def colour(x, y):
        if min(x, y, size - 1 - x, size - 1 - y) < 2:
            return (250, 200, 90)
        return (230, 120, 40) if ((x * cells // size) + (y * cells // size)) % 2 else (70, 30, 90)
    return image(size, size, colour)


def stripes(width=128, height=32):
    """The logo plate: bands of colour with a bright frame."""
    bands = [(40, 160, 230), (240, 80, 120), (250, 210, 60), (90, 220, 120)]

    def colour(x, y):
        if x < 3 or y < 3 or x >= width - 3 or y >= height - 3:
            return (255, 255, 255)
        return bands[(x // 16) % 4]
    return image(width, height, colour)


def loading_picture(width=256, height=128):
    """The picture the loading screen shows (and that a packed demo carries): a dusk gradient in a frame."""
    def colour(x, y):
        if x < 4 or y < 4 or x >= width - 4 or y >= height - 4:
            return (250, 200, 90)
        t = y / (height - 1)
        return (int(20 + 60 * t), int(10 + 30 * t), int(60 + 40 * (1 - t)))
    return image(width, height, colour)


def core(size=32):
    """The orbit's glowing core: white-hot in the middle, warm towards the rim."""
    def colour(x, y):
        t = min(1.0, math.hypot(x - size / 2.0 + 0.5, y - size / 2.0 + 0.5) / (size / 2.0))
        return (255, int(240 - 80 * t), int(200 - 150 * t))
    return image(size, size, colour)


def crystal(size=64):
    def colour(x, y):
        t = (x + y) / (2.0 * size)
        return (int(60 + 120 * t), int(200 - 80 * t), 255)
    return image(size, size, colour)


# ---- scenes ----

def vals(values, count):
    """A channel holds a value for every frame: a constant is one run over them all."""
    if len(values) == 1:
        return "VRUN %d %.4f" % (count, values[0])
    return "VDAT %d %s" % (len(values), " ".join("%.4f" % v for v in values))


def channels(group, named, count):
    body = " ".join('CHAN { NAME "%s" VALS { %s } }' % (name, vals(values, count)) for name, values in named)
    return 'CGRP { NAME "%s" %s }\n' % (group, body)


def frames(count, f):
    return [f(i) for i in range(count)]


# Exported scenes carry the scale channels, as the animation package writes them.
UNIT_SCALE = [("Scale.X", [1.0]), ("Scale.Y", [1.0]), ("Scale.Z", [1.0])]


def scene_head(name, first, last, music=None, audio_start=0.0):
    props = "PROP int frameStart %d  PROP int frameEnd %d  PROP float framesPerSecond %d" % (first, last, FPS)
    if music:
        props += '  PROP string loadAudio "%s"  PROP float audioStartTime %.3f' % (music, audio_start)
    return 'SCEN { NAME "%s" FNAM "%s.lws" PRPS { %s } }\n' % (name, name, props)


def surface_object(obj, surface, texture, colour, extra=""):
    return ('SOBJ { NAME "%s" FNAM "%s.lwo" SURF { NAME "%s" PRPS { PROP float3 BaseColor %s  PROP float Diffuse 1 '
            ' PROP string BaseColor_tex_image "%s"%s } } }\n' % (obj, obj, surface, colour, texture, extra))


# Light streaks through the renderer's settings: seeded by the pixels whose glow mask is full, drawn
# along angle (radians) both ways, warm white. Each of the three passes a way adds its taps up: the
# colour of the later passes keeps the seeds from burning out.
def streaks(angle):
    return ('  IMFL { NAME "QirnRenderSettings"\n'
            '         PRPS { PROP int CH_STREAK_ENABLE 1  PROP float CH_STREAK_GLOWMIN 1  PROP float3 CH_STREAK_COLORKEY 0 0 0\n'
            '                PROP float CH_STREAK_COLORKEYMATCH 0  PROP float3 CH_STREAK_COLORIZE 0.65 0.5 0.35\n'
            '                PROP float CH_STREAK_ATTENUATION 1  PROP float CH_STREAK_ANGLE %.4f\n'
            '                PROP float CH_STREAK_COMPOSE 1.5 } }' % angle)


def intro_scene():
    n = 251  # 10 s
    d = "# The first part: a textured cube turning under a spot light, a spark fountain, glow on.\n"
    d += scene_head("intro", 0, n - 1)
    d += "BKDR { PRPS { PROP int type 2  PROP float3 zenith 0.02 0.02 0.1  PROP float3 sky 0.1 0.1 0.3\n"
    d += "              PROP float3 ground 0.05 0.02 0.05  PROP float3 nadir 0 0 0 } }\n"
    d += "PROC { PRPS { PROP int GlowEffect 1  PROP float GlowIntensity 0.6  PROP float GlowRadius 8 } }\n"
    d += 'OBJE { NAME "cube:Layer1" FNAM "cube.lwo" PRPS { PROP int numPoints 24  PROP int numPolygons 12  PROP int layer 1  PROP int shadowOpts 7 } }\n'
    d += ('LIGH { NAME "Key" PRPS { PROP float3 ambient 0.25 0.25 0.3  PROP int type 2  PROP int shadowType 2\n'
          '       PROP float2 coneAngles 0.6 0.15  PROP float range 400  PROP float3 rawColor 1 0.95 0.85\n'
          '       PROP float intensity 1.2  PROP int shadMapSize 512 } }\n')
    d += 'CAME { NAME "Cam" PRPS { PROP float zoomFactor 3.2  PROP float2 fovAngles 0.8 0.6 } }\n'
    d += surface_object("cube", "Crate", "checker.png", "1 1 1")
    d += ('FXEM { NAME "Sparks" PRPS { PROP int FxEmitterType 0  PROP int Nozzle 0  PROP float3 GeneratorSize 30 2 30\n'
          '       PROP int ParticleLimit 300  PROP float BirthRate 60  PROP float3 Velocity 0 0.6 0  PROP float VelocityP 1  PROP float2 LifeTime 60 10\n'
          '       PROP float HV.ParticleSize 1.2  PROP float3 Gravity 0 -0.2 0  PROP float3 HV.VColor 1 0.6 0.2\n'
          '       PROP string HV.ClipFilename "spark.png" } }\n')
    d += channels("Qirn.World:cube:Layer1", [
        ("Position.Y", frames(n, lambda i: 2.0 * math.sin(i * 2 * math.pi / 125))),
        ("Rotation.H", frames(n, lambda i: i * 2 * math.pi / 200)),
        ("Rotation.P", frames(n, lambda i: i * 2 * math.pi / 330))] + UNIT_SCALE, n)
    d += channels("Qirn.World:Cam", [
        ("Position.X", frames(n, lambda i: 20 * math.sin(i / 80.0))),
        ("Position.Y", frames(n, lambda i: 12 + 6 * math.sin(i / 60.0))),
        ("Position.Z", frames(n, lambda i: -70 + 15 * i / n)),
        ("Rotation.H", frames(n, lambda i: -math.atan2(20 * math.sin(i / 80.0), 70 - 15 * i / n))),
        ("Rotation.P", frames(n, lambda i: math.atan2(12 + 6 * math.sin(i / 60.0), 70 - 15 * i / n)))], n)
    d += channels("Qirn.World:Key", [
        ("Position.X", frames(n, lambda i: 40 * math.cos(i / 40.0))), ("Position.Y", [60.0]),
        ("Position.Z", frames(n, lambda i: -40 + 10 * math.sin(i / 40.0))),
        ("Rotation.H", frames(n, lambda i: -math.atan2(40 * math.cos(i / 40.0), -40 + 10 * math.sin(i / 40.0)) + math.pi)),
        ("Rotation.P", [0.9])], n)
    d += channels("Qirn.World:Sparks", [("Position.Y", [-14.0])], n)
    return d


def orbit_scene():
    """Part two follows the music: its first frame stands 10 s into theme.mp3."""
    first, n = 250, 251
    d = ("# The second part: four cubes circling a glowing core that throws light streaks, timed by the music\n"
         "# (frameStart / fps - audioStartTime).\n")
    d += scene_head("orbit", first, first + n - 1, music="theme.wav", audio_start=0.0)
    d += "BKDR { PRPS { PROP int type 2  PROP float3 zenith 0.15 0.02 0.05  PROP float3 sky 0.3 0.1 0.1\n"
    d += "              PROP float3 ground 0.05 0.05 0.02  PROP float3 nadir 0 0 0 } }\n"
    d += "PROC { PRPS { PROP int GlowEffect 1  PROP float GlowIntensity 1  PROP float GlowRadius 10 }\n"
    d += streaks(0.5236) + " }\n"
    for k in range(4):
        d += ('OBJE { NAME "Orb%d" FNAM "cube.lwo" PRPS { PROP int numPoints 24  PROP int numPolygons 12  '
              'PROP int layer 1 } }\n' % k)
    d += 'OBJE { NAME "core:Layer1" FNAM "core.lwo" PRPS { PROP int numPoints 24  PROP int numPolygons 8  PROP int layer 1 } }\n'
    d += ('LIGH { NAME "Sun" PRPS { PROP float3 ambient 0.3 0.25 0.25  PROP int type 0  PROP float3 rawColor 1 0.9 0.8\n'
          '       PROP float intensity 1 } }\n')
    d += 'CAME { NAME "Cam" PRPS { PROP float zoomFactor 3.2  PROP float2 fovAngles 0.8 0.6 } }\n'
    d += surface_object("cube", "Crate", "checker.png", "1 1 1")
    d += surface_object("core", "Core", "core.png", "1 1 1", "  PROP float Luminosity 1  PROP float GlowValue 1")
    for k in range(4):
        phase = k * math.pi / 2
        d += channels("Qirn.World:Orb%d" % k, [
            ("Position.X", frames(n, lambda i: 30 * math.cos(i / 40.0 + phase))),
            ("Position.Y", frames(n, lambda i: 8 * math.sin(i / 25.0 + phase))),
            ("Position.Z", frames(n, lambda i: 30 * math.sin(i / 40.0 + phase))),
            ("Rotation.H", frames(n, lambda i: i / 15.0 + phase)),
            ("Scale.X", [0.6]), ("Scale.Y", [0.6]), ("Scale.Z", [0.6])], n)
    d += channels("Qirn.World:core:Layer1", [
        ("Rotation.H", frames(n, lambda i: i / 12.0)), ("Position.Y", frames(n, lambda i: 10 + 2 * math.sin(i / 20.0)))]
        + UNIT_SCALE, n)
    d += channels("Qirn.World:Cam", [
        ("Position.Y", [35.0]), ("Position.Z", [-80.0]), ("Rotation.P", [math.atan2(35.0, 80.0)])], n)
    d += channels("Qirn.World:Sun", [("Rotation.H", [0.6]), ("Rotation.P", [0.8])], n)
    return d


def logo_scene():
    n = 125
    d = "# The extra of part one: a striped plate that stays in front of the camera.\n"
    d += scene_head("logo", 0, n - 1)
    d += 'OBJE { NAME "plate:Layer1" FNAM "plate.lwo" PRPS { PROP int numPoints 4  PROP int numPolygons 2  PROP int layer 1 } }\n'
    d += surface_object("plate", "Stripes", "stripes.png", "1 1 1")
    d += channels("Qirn.World:plate:Layer1", [
        ("Position.Y", [-9.0]), ("Position.Z", frames(n, lambda i: 40 - 10 * min(1.0, i / 25.0))),
        ("Rotation.B", frames(n, lambda i: 0.05 * math.sin(i / 8.0)))] + UNIT_SCALE, n)
    return d


def gem_scene():
    n = 301
    d = "# The third part: a crystal turning under a coloured point light.\n"
    d += scene_head("gem", 0, n - 1)
    d += "BKDR { PRPS { PROP int type 2  PROP float3 zenith 0.0 0.08 0.12  PROP float3 sky 0.05 0.2 0.25\n"
    d += "              PROP float3 ground 0.02 0.05 0.05  PROP float3 nadir 0 0 0 } }\n"
    d += 'OBJE { NAME "gem:Layer1" FNAM "gem.lwo" PRPS { PROP int numPoints 24  PROP int numPolygons 8  PROP int layer 1 } }\n'
    d += ('LIGH { NAME "Glow" PRPS { PROP float3 ambient 0.3 0.3 0.35  PROP int type 1  PROP float range 300\n'
          '       PROP float3 rawColor 0.6 0.9 1  PROP float intensity 1.5 } }\n')
    d += 'CAME { NAME "Cam" PRPS { PROP float zoomFactor 3.2  PROP float2 fovAngles 0.8 0.6 } }\n'
    d += surface_object("gem", "Crystal", "crystal.png", "1 1 1")
    d += channels("Qirn.World:gem:Layer1", [
        ("Rotation.H", frames(n, lambda i: i / 20.0)),
        ("Position.Y", frames(n, lambda i: 3 * math.sin(i / 30.0)))] + UNIT_SCALE, n)
    d += channels("Qirn.World:Cam", [("Position.Z", frames(n, lambda i: -60 + 10 * i / n))], n)
    d += channels("Qirn.World:Glow", [
        ("Position.X", frames(n, lambda i: 30 * math.cos(i / 20.0))), ("Position.Y", [20.0]),
        ("Position.Z", frames(n, lambda i: -30 + 20 * math.sin(i / 20.0)))], n)
    return d


# ---- music ----

def theme(path, seconds=34, rate=32000):
    """A slow arpeggio over a bass note, one note a quarter second."""
    notes = [0, 3, 7, 10, 12, 10, 7, 3]
    roots = [45, 41, 43, 40]  # A, F, G, E (MIDI)
    samples = bytearray()
    for i in range(seconds * rate):
        t = i / rate
        bar = int(t / 2.0) % len(roots)
        step = int(t * 4) % len(notes)
        lead = 440.0 * 2 ** ((roots[bar] + 24 + notes[step] - 69) / 12.0)
        bass = 440.0 * 2 ** ((roots[bar] - 69) / 12.0)
        env = math.exp(-6 * ((t * 4) % 1.0))
        v = 0.35 * env * math.sin(2 * math.pi * lead * t) + 0.25 * math.sin(2 * math.pi * bass * t)
        samples += struct.pack("<h", int(max(-1.0, min(1.0, v)) * 32000))
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "theme.wav")
        with wave.open(wav, "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(rate)
            w.writeframes(bytes(samples))
        subprocess.run(["lame", "--quiet", "-m", "m", "-b", "32", "--cbr", wav, path], check=True)


def main(argv):
    parser = argparse.ArgumentParser(
        description="Writes the example demo's meshes, textures and scene descriptions beside this program.")
    parser.add_argument("--music", action="store_true", help="also encode music/theme.mp3 (needs the lame program)")
    # An unknown option or any other argument gets the usage, and nothing is written.
    options = parser.parse_args(argv)
    write("intro/cube.layer1.x", x_mesh("cube", box(20.0), (1, 1, 1), "checker.png", 0.4))
    write("intro/core.layer1.x", x_mesh("core", gem(4.0), (1, 1, 1), "core.png", 1.0))
    write("logo/plate.layer1.x", x_mesh("plate", plate(24.0, 6.0), (1, 1, 1), "stripes.png", 1.0))
    write("gem/gem.layer1.x", x_mesh("gem", gem(16.0), (1, 1, 1), "crystal.png", 0.2))
    png(os.path.join(HERE, "intro/checker.png"), 64, 64, checker())
    png(os.path.join(HERE, "intro/spark.png"), 32, 32, particle())
    png(os.path.join(HERE, "intro/core.png"), 32, 32, core())
    png(os.path.join(HERE, "logo/stripes.png"), 128, 32, stripes())
    png(os.path.join(HERE, "gem/crystal.png"), 64, 64, crystal())
    png(os.path.join(HERE, "loading.png"), 256, 128, loading_picture())
    write("intro/intro.scene", intro_scene())
    write("intro/orbit.scene", orbit_scene())
    write("logo/logo.scene", logo_scene())
    write("gem/gem.scene", gem_scene())
    if options.music:
        os.makedirs(os.path.join(HERE, "music"), exist_ok=True)
        theme(os.path.join(HERE, "music/theme.mp3"))


if __name__ == "__main__":
    main(sys.argv[1:])
