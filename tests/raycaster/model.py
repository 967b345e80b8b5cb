"""A small, slow, plain-Python model of one raycasting frame, written from the drawing
rules step by step: the background, the sky, then column by column the ray cast, the
wall slice with its fogs, the flashlight, the floor and the ceiling, then the sprites.
Pixels are 0xAARRGGBB ints, images are (width, height, pixel list) triples. The tests
draw tiny levels with the engine and compare every pixel with this model's.

Where the rules leave a case open (a texel coordinate on the texture's far edge, a
sprite of size 0), the model does what the engine does: clamp, or skip the sprite."""
import math
import struct

DEG2RAD = 0.017453292519943295
RAD2DEG = 57.29577951308232
BACKGROUND = 0xFF00B464


def f32(value):
    """The nearest single-precision value."""
    return struct.unpack("f", struct.pack("f", value))[0]


def frac(value):
    return value - math.trunc(value)


def length(x, y):
    return math.sqrt(x * x + y * y)


class Image:
    def __init__(self, width, height, pixels):
        self.width, self.height, self.pixels = width, height, list(pixels)

    def texel(self, x, y):
        x = min(max(x, 0), self.width - 1)
        y = min(max(y, 0), self.height - 1)
        return self.pixels[y * self.width + x]


# --- colours --------------------------------------------------------------------------------

def channel(colour, shift):
    return (colour >> shift) & 255


def fog(colour, fog_colour, k):
    out = colour & 0xFF000000
    for shift in (0, 8, 16):
        out |= ((k * channel(fog_colour, shift) + (255 - k) * channel(colour, shift)) >> 8) << shift
    return out


def light(target, lamp, brightness):
    out = target & 0xFF000000
    for shift in (0, 8, 16):
        value = (channel(target, shift) * 256 + channel(lamp, shift) * brightness) >> 8
        out |= min(value, 255) << shift
    return out


def sprite_blend(source, target, mode):
    alpha = source >> 24
    out = target & 0xFF000000
    for shift in (0, 8, 16):
        s, d = channel(source, shift), channel(target, shift)
        if mode == 1:
            value = min((d * 256 + alpha * s) >> 8, 255)
        else:
            value = (alpha * s + (255 - alpha) * d) >> 8
        out |= value << shift
    return out


def ground_weight(amount, t):
    """int(amount * t^2) & 255, t^2 in double then single precision, the product in single."""
    squared = f32(t * t)
    return int(f32(float(amount) * squared)) & 255


# --- vectors and the ray cast ----------------------------------------------------------------

def rotation(radians):
    s, c = math.sin(radians), math.cos(radians)
    return (-s, c, s, c)


def apply(m, v):
    return (m[1] * v[0] + m[0] * v[1], m[2] * v[0] + m[3] * v[1])


K = 0.707107
NORMALS = {  # side -> {blockType: normal}, others: the axis normal
    3: {4: (K, -K), 5: (-K, -K)}, 4: {2: (K, K), 4: (K, -K)},
    5: {2: (K, K), 3: (-K, K)}, 6: {3: (-K, K), 5: (-K, -K)}}
AXIS = {3: (0.0, -1.0), 4: (1.0, 0.0), 5: (0.0, 1.0), 6: (-1.0, 0.0)}
OPEN_FACES = {  # block -> (vertical crossing open when, horizontal crossing open when)
    2: (lambda d: d[0] < 0, lambda d: d[1] < 0), 3: (lambda d: d[0] > 0, lambda d: d[1] < 0),
    4: (lambda d: d[0] < 0, lambda d: d[1] > 0), 5: (lambda d: d[0] > 0, lambda d: d[1] > 0)}


class Level:
    """width x height cells of seven bytes; textures and sky as Images; the fogs."""

    def __init__(self, width, height, cells, textures, sky=None, fog_colour=0xFF000000,
                 fog_density=5, ground_colour=0xFFFFFFFF, ground_density=0):
        self.width, self.height, self.cells = width, height, bytes(cells)
        self.textures, self.sky = textures, sky
        self.fog_colour, self.fog_density = fog_colour, fog_density
        self.ground_colour, self.ground_density = ground_colour, ground_density

    def byte(self, x, y, k):
        return self.cells[(y * self.width + x) * 7 + k]


def diagonal(cell_x, cell_y, block, pos, direction):
    falling = block in (2, 5)
    ax, ay = cell_x, cell_y + 1.0 if falling else float(cell_y)
    dx, dy = 1.0, -1.0 if falling else 1.0
    denominator = direction[0] * dy - direction[1] * dx
    if denominator == 0.0:
        return None
    t = ((ax - pos[0]) * dy - (ay - pos[1]) * dx) / denominator
    point = (pos[0] + t * direction[0], pos[1] + t * direction[1])
    return None if point == (0.0, 0.0) else point


def inside(point, cell_x, cell_y):
    return cell_x <= point[0] < cell_x + 1 and cell_y <= point[1] < cell_y + 1


def cast(level, pos, direction):
    """(hit, direction as the cast leaves it); hit is a dict of the record's fields."""
    dx, dy = direction
    step_x = 1 if dx > 0 else -1
    step_y = 1 if dy > 0 else -1
    grid_x = int(pos[0]) + (1 if step_x > 0 else 0)
    grid_y = int(pos[1]) + (1 if step_y > 0 else 0)
    dx = 1e-14 if dx == 0.0 else dx
    dy = 1e-14 if dy == 0.0 else dy
    d = (dx, dy)

    def record(block, point, is_y_side, side, cell_x, cell_y, out_of_map=0):
        hit = {"blockType": block, "hitPos": point, "isYSide": is_y_side, "side": side,
               "dist": length(point[0] - pos[0], point[1] - pos[1]), "outOfMap": out_of_map,
               "normal": AXIS[side] if out_of_map else NORMALS[side].get(block, AXIS[side])}
        if not out_of_map:
            hit.update(cellX=cell_x, cellY=cell_y, textureIndex=level.byte(cell_x, cell_y, side))
        return hit

    inside_map = 0 <= pos[0] < level.width and 0 <= pos[1] < level.height
    if not inside_map or not (math.isfinite(dx) and math.isfinite(dy)):
        hit = record(0, pos, 0, 6 if dx >= 0 else 4, 0, 0, out_of_map=1)
        hit["dist"] = 0.0
        return hit, d
    cx, cy = int(pos[0]), int(pos[1])
    block = level.byte(cx, cy, 0)
    if block in (2, 3, 4, 5):
        point = diagonal(cx, cy, block, pos, d)
        if point and inside(point, cx, cy) and \
                (abs(dx) < 1e-7 or (point[0] - pos[0]) / dx > 0) and \
                (abs(dy) < 1e-7 or (point[1] - pos[1]) / dy > 0):
            is_y = (1 if dx > 0 else 0) if block in (2, 4) else (1 if dx < 0 else 0)
            side = (5 if dy < 0 else 3) if is_y else (6 if dx >= 0 else 4)
            return record(block, point, is_y, side, cx, cy), d

    x_cross = (float(grid_x), pos[1] + (grid_x - pos[0]) / dx * dy)
    y_cross = (pos[0] + (grid_y - pos[1]) / dy * dx, float(grid_y))
    while True:
        vertical = not (length(y_cross[0] - pos[0], y_cross[1] - pos[1]) <=
                        length(x_cross[0] - pos[0], x_cross[1] - pos[1]))
        crossing = x_cross if vertical else y_cross
        side = (6 if dx >= 0 else 4) if vertical else (3 if dy >= 0 else 5)
        if vertical:
            cell_x, cell_y = math.trunc(x_cross[0]) - (1 if dx < 0 else 0), math.trunc(x_cross[1])
        else:
            cell_x, cell_y = math.trunc(y_cross[0]), math.trunc(y_cross[1]) - (1 if dy < 0 else 0)
        if not (0 <= cell_x < level.width and 0 <= cell_y < level.height):
            return record(0, crossing, 0 if vertical else 1, side, 0, 0, out_of_map=1), d
        block = level.byte(cell_x, cell_y, 0)
        if block != 0:
            if block not in OPEN_FACES or not OPEN_FACES[block][0 if vertical else 1](d):
                return record(block, crossing, 0 if vertical else 1, side, cell_x, cell_y), d
            point = diagonal(cell_x, cell_y, block, pos, d)
            if point and inside(point, cell_x, cell_y):
                return record(block, point, 0 if vertical else 1, side, cell_x, cell_y), d
        if vertical:
            grid_x += step_x
            x_cross = (float(grid_x), pos[1] + (grid_x - pos[0]) / dx * dy)
        else:
            grid_y += step_y
            y_cross = (pos[0] + (grid_y - pos[1]) / dy * dx, float(grid_y))


# --- the frame --------------------------------------------------------------------------------

class Camera:
    """`sky_degrees`: the angle the direction's vector answers for the sky (by default
    its own, atan2 in degrees)."""

    def __init__(self, pos, direction, fov=60, pitch=0, ratio=1.6, sky_degrees=None):
        self.pos, self.fov, self.pitch, self.ratio = pos, fov, pitch, ratio
        n = length(*direction)
        self.dir = (direction[0] / n, direction[1] / n) if n else direction
        self.sky_degrees = sky_degrees


class Sprite:
    """What the sprite pass reads of one entity (the component, its sprite sheet and
    its current animation)."""

    def __init__(self, position, sheet, frame_width, frame_height, x_frames, frame_count=1,
                 directions=1, oscillate=False, progress=0.0, speed=0.0, min_frame=0,
                 current_directions=None, facing=(1.0, 0.0), shadeless=False, blend_mode=0,
                 z_offset=0.0, scale=1.0):
        self.__dict__.update(locals())
        del self.__dict__["self"]
        if current_directions is None:
            self.current_directions = directions


def horizon_of(h, pitch):
    return h // 2 + pitch


def draw_sky(pixels, w, h, level, camera):
    sky = level.sky
    horizon = horizon_of(h, camera.pitch)
    angle = camera.sky_degrees
    if angle is None:
        angle = math.atan2(camera.dir[1], camera.dir[0]) * RAD2DEG
    per_degree = sky.width / 360.0
    for x in range(w):
        a = x / w * camera.fov + angle - camera.fov // 2
        while a < 0:
            a += 360
        sx = int(a * per_degree)
        if sx >= sky.width:
            sx -= sky.width
        for y in range(h):
            sy = int((h - horizon + y) / (2 * h) * sky.height)
            pixels[y * w + x] = sky.texel(sx, sy)


def fog_weight(distance, density):
    """The distance fog weight: 0 for no fog (a density of 0 or less), at most 255."""
    if density <= 0:
        return 0
    return min(int(distance * density), 255)


def ground_amount(distance, density):
    return min(int(density * distance), 255) if density > 0 else 0


def draw_walls(pixels, hits, w, h, level, camera, flashlight, seams=True):
    """With `seams` false, the first floor row under a wall keeps its own row distance
    even where that passes the wall's: the floor behind the wall shows there."""
    horizon = horizon_of(h, camera.pitch)
    step = rotation(camera.fov / w * DEG2RAD)
    ray = apply(rotation(camera.fov * -0.5 * DEG2RAD), camera.dir)
    hr = h / camera.ratio
    for x in range(w):
        hit, ray = cast(level, camera.pos, ray)
        hit["rayDir"] = ray
        d = hit["dist"]
        if d < 1e-8:
            hit["outOfMap"] = 1
        if hit["outOfMap"]:
            top, bottom, line = horizon, horizon + 1, 0
        else:
            line = int(h / camera.ratio / d + 0.5)
            top, bottom = max(horizon - line, 0), min(horizon + line, h - 1)
            if hit["isYSide"] == 1:
                u = frac(hit["hitPos"][0])
                u = 1 - u if ray[1] > 0 else u
            else:
                u = frac(hit["hitPos"][1])
                u = 1 - u if ray[0] < 0 else u
            g = ground_amount(d, level.ground_density)
            k = fog_weight(d, level.fog_density)
            index = hit["textureIndex"]
            texture = level.textures[index] if index < len(level.textures) else None
            if k >= 255 or texture is None:
                for y in range(top, bottom):
                    pixels[y * w + x] = level.fog_colour
            else:
                tex_x = int(u * texture.width)
                s = texture.height / (2 * line + 1)
                position = (top - (horizon - line)) * s
                for y in range(top, bottom):
                    colour = texture.texel(tex_x, int(position))
                    if level.ground_density > 0:
                        t = f32(f32(f32(y) - f32(top)) / f32(2 * line))
                        colour = fog(colour, level.ground_colour, ground_weight(g, t))
                    pixels[y * w + x] = fog(colour, level.fog_colour, k & 255)
                    position += s
        hits.append(hit)
        if flashlight is not None:
            p = 0.0
            brightness = min(int(512 / (d * d)), 255)
            column = int(x / w * flashlight.width)
            for y in range(top, bottom):
                if 0 <= y < h:
                    pixels[y * w + x] = light(pixels[y * w + x], flashlight.texel(column, int(p)),
                                              brightness)
                p += 3.0 / d
                if p >= flashlight.height:
                    break
        for y in list(range(max(bottom, 0), h)) + list(range(0, min(top, h))):
            below = y >= bottom
            row_dist = hr / (y - horizon) if below else hr / (horizon - y)
            if seams and below and y == bottom and not hit["outOfMap"] and row_dist > d:
                row_dist = d  # the row under the wall never reaches beyond it
            fx = row_dist * ray[0] + camera.pos[0]
            fy = camera.pos[1] + ray[1] * row_dist
            if not (0 <= fx < level.width and 0 <= fy < level.height):
                continue
            index = level.byte(int(fx), int(fy), 1 if below else 2)
            if index == 255:
                continue
            k = fog_weight(row_dist, level.fog_density)
            if k >= 255:
                pixels[y * w + x] = level.fog_colour
                continue
            texture = level.textures[index] if index < len(level.textures) else None
            if texture is None:
                continue
            colour = texture.texel(int(frac(fx) * texture.width), int(frac(fy) * texture.height))
            if below:
                colour = fog(colour, level.ground_colour,
                             ground_amount(row_dist, level.ground_density))
            pixels[y * w + x] = fog(colour, level.fog_colour, k & 255)
        ray = apply(step, ray)


def prepare_sprites(sprites, camera, time_step):
    """Distances and viewing angles, the far-to-near order (returned), the animations."""
    for s in sprites:
        vx, vy = camera.pos[0] - s.position[0], camera.pos[1] - s.position[1]
        s.dist = length(vx, vy)
        s.angle = 1.0 - (math.atan2(vy, vx) - math.atan2(s.facing[1], s.facing[0]) +
                         3.141592653589793) / 6.283185307179586 + 0.5
    ordered = sorted(sprites, key=lambda s: s.dist, reverse=True)
    for s in ordered:
        s.progress += s.speed * time_step
        if s.oscillate:
            if s.progress >= 1.0:
                s.speed, s.progress = -s.speed, s.progress - 1.0 / s.frame_count
            elif s.progress < 0.0:
                s.speed, s.progress = -s.speed, s.progress + 1.0 / s.frame_count
        elif s.progress >= 1.0:
            s.progress = 0.0
    return ordered


def draw_sprites(pixels, hits, w, h, level, camera, ordered):
    horizon = horizon_of(h, camera.pitch)
    a = math.atan2(camera.dir[1], camera.dir[0]) * RAD2DEG
    turn = rotation((360 - a) * DEG2RAD)
    half_w = w // 2
    for s in ordered:
        g = ground_amount(s.dist, level.ground_density)
        k = fog_weight(s.dist, level.fog_density)
        p = apply(turn, (s.position[0] - camera.pos[0], s.position[1] - camera.pos[1]))
        if p[0] <= 0:
            continue
        sx0 = int(p[1] / p[0] * w + half_w)
        sx = int(sx0 - (sx0 - half_w) * 0.25)
        size = int(h / camera.ratio / p[0])
        if size <= 0 or s.scale <= 0:
            continue
        step_x = s.frame_width / (size * 2) / s.scale
        step_y = s.frame_height / (2 * size) / s.scale
        start_x, end_x = int(sx - size * s.scale), min(int(sx + size * s.scale), w)
        tex_x = 0.0
        if start_x < 0:
            tex_x, start_x = -start_x * step_x, 0
        if end_x <= start_x:
            continue
        directions = s.directions
        n = (int(s.progress * s.frame_count) * s.current_directions + s.min_frame +
             int(directions * (s.angle + 1.0 / (2 * directions))) % directions)
        cell_x, cell_y = n % s.x_frames * s.frame_width, n // s.x_frames * s.frame_height
        for x in range(start_x, end_x):
            if hits[x]["dist"] > p[0]:
                end_y = min(int(horizon + size * s.scale + size * s.z_offset), h)
                start_y = int(size * s.z_offset + (horizon - size * s.scale))
                tex_y = 0.0
                if start_y < 0:
                    tex_y, start_y = -start_y * step_y, 0
                for y in range(start_y, end_y):
                    colour = s.sheet.texel(int(tex_x) + cell_x, int(tex_y) + cell_y)
                    if not s.shadeless:
                        t = f32(f32(y - start_y) / f32(end_y - start_y))
                        colour = fog(fog(colour, level.ground_colour, ground_weight(g, t)),
                                     level.fog_colour, k)
                    pixels[y * w + x] = sprite_blend(colour, pixels[y * w + x], s.blend_mode)
                    tex_y += step_y
            tex_x += step_x


def frame(w, h, level, camera, flashlight=None, sprites=(), time_step=0.0, seams=True):
    """(pixels, hits, sprites far to near) of one frame."""
    pixels = [BACKGROUND] * (w * h)
    if level.sky is not None:
        draw_sky(pixels, w, h, level, camera)
    hits = []
    draw_walls(pixels, hits, w, h, level, camera, flashlight, seams)
    ordered = prepare_sprites(list(sprites), camera, time_step)
    draw_sprites(pixels, hits, w, h, level, camera, ordered)
    return pixels, hits, ordered
