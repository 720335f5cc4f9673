"""The kelmath command's diagnostic plots drawn with matplotlib.

Every number drawn (points, LOWESS smooth, guides, axis ticks, labelled rows, density bins and
their shades) comes from the compiled core, which computes the command's SVG images from the
same values; this module only draws them. matplotlib is imported here, when a plot is asked for,
so that the rest of kelmath works without it.
"""
from types import SimpleNamespace

from ._errors import MissingDependencyError

# The command's colours (tools/plot/plot_svg.cpp's first series, the smooth, the guides).
_MARKER_COLOUR = "#1f77b4"
_SMOOTH_COLOUR = "#d62728"
_GUIDE_COLOUR = "#7f7f7f"
# A point of the command's 800 x 560 image is about this many typographic points of a panel of
# the figure below: row labels keep the command's offsets from their points at this scale.
_IMAGE_TO_POINTS = 0.75
_FIGURE_SIZE = (15.0, 10.5)


def _matplotlib():
    try:
        from matplotlib.collections import PatchCollection
        from matplotlib.figure import Figure
        from matplotlib.patches import Rectangle
    except ImportError as error:
        raise MissingDependencyError(
            "plot_diagnostics needs matplotlib: install Debian's python3-matplotlib "
            "(apt-get install python3-matplotlib)") from error
    return SimpleNamespace(Figure=Figure, PatchCollection=PatchCollection, Rectangle=Rectangle)


def _draw_axes(ax, panel):
    ax.set_title(panel["title"])
    ax.set_xlabel(panel["xlabel"], fontsize=9)
    ax.set_ylabel(panel["ylabel"], fontsize=9)
    for axis, set_limits, set_ticks in (("xaxis", ax.set_xlim, ax.set_xticks),
                                        ("yaxis", ax.set_ylim, ax.set_yticks)):
        set_limits(*panel[axis]["limits"])
        set_ticks(panel[axis]["ticks"], panel[axis]["tick_labels"], fontsize=8)
    ax.grid(True, color="#e5e5e5", linewidth=0.8)
    ax.set_axisbelow(True)


def _draw_guides(ax, panel):
    for guide in panel["guides"]:
        ax.plot(guide[:, 0], guide[:, 1], color=_GUIDE_COLOUR, linewidth=1.0,
                linestyle=(0, (6, 4)), zorder=2, scalex=False, scaley=False)
    for x, y, text in panel["guide_labels"]:
        ax.annotate(text, (x, y), xytext=(-3, 3), textcoords="offset points", ha="right",
                    fontsize=8, color=_GUIDE_COLOUR, gid="guide-label")


def _draw_points(ax, panel, mpl):
    density = panel["density"]
    if density is None:
        ax.scatter(panel["x"], panel["y"], s=28, color=_MARKER_COLOUR, edgecolors="black",
                   linewidths=0.5, zorder=3)
        return
    bins = [mpl.Rectangle((x, y), w, h) for x, y, w, h in density["rectangles"]]
    ax.add_collection(mpl.PatchCollection(bins, facecolors=density["shades"],
                                          edgecolors="none", zorder=1))
    chosen = density["emphasized"]
    ax.scatter(panel["x"][chosen], panel["y"][chosen], s=18, color=_MARKER_COLOUR,
               edgecolors="black", linewidths=0.5, zorder=3)


def _draw_labels(ax, panel, row_label):
    for label in panel["labels"]:
        i = label["index"]
        dx, dy = label["offset"]
        ax.annotate(row_label(label["row"]), (panel["x"][i], panel["y"][i]),
                    xytext=(dx * _IMAGE_TO_POINTS, dy * _IMAGE_TO_POINTS),
                    textcoords="offset points", ha="right" if label["anchor_end"] else "left",
                    va="baseline", fontsize=8, zorder=4, gid="row-label")


def _draw_note(ax, panel, mpl):
    """The command's notes right of the drawing, then the key of a density's shades."""
    lines = panel["note"]
    ax.text(1.03, 1.0, "\n".join(lines), transform=ax.transAxes, va="top", ha="left",
            fontsize=7.5, linespacing=1.4)
    density = panel["density"]
    if density is None:
        return
    top = 1.0 - 0.047 * (len(lines) + 1)
    ax.text(1.03, top, "Points per bin:", transform=ax.transAxes, va="top", fontsize=7.5)
    for k, (count, shade) in enumerate(density["key"]):
        y = top - 0.05 * (k + 1)
        ax.add_patch(mpl.Rectangle((1.03, y - 0.03), 0.03, 0.03, transform=ax.transAxes,
                               facecolor=shade, edgecolor=_GUIDE_COLOUR, linewidth=0.5,
                               clip_on=False))
        ax.text(1.07, y - 0.015, str(count), transform=ax.transAxes, va="center", fontsize=7.5)


def _draw_panel(ax, panel, mpl, row_label):
    _draw_axes(ax, panel)
    _draw_points(ax, panel, mpl)
    _draw_guides(ax, panel)
    if len(panel["smoother"]):
        ax.plot(panel["smoother"][:, 0], panel["smoother"][:, 1], color=_SMOOTH_COLOUR,
                linewidth=1.5, zorder=4, scalex=False, scaley=False)
    _draw_labels(ax, panel, row_label)
    _draw_note(ax, panel, mpl)


def draw_diagnostics(panels, fig, row_label):
    """The panels (the compiled core's values, in the command's order) on a 2 x 2 grid of fig
    (cleared) or of a new Figure when fig is None, which is returned. row_label(row) is the text
    naming a data row (numbered from 1, as the core numbers them)."""
    mpl = _matplotlib()
    if fig is None:
        fig = mpl.Figure(figsize=_FIGURE_SIZE)
    else:
        fig.clear()
    axes = fig.subplots(2, 2, gridspec_kw={"wspace": 0.62, "hspace": 0.32,
                                           "left": 0.06, "right": 0.88})
    for ax, panel in zip(axes.flat, panels):
        ax.set_label(panel["name"])
        _draw_panel(ax, panel, mpl, row_label)
    return fig
