#include "report/style.h"

#include "report/format.h"
#include "report/svg.h"

namespace qvcli {
namespace {

// Colours name the areas alike in the drawing (fill) and in the legend and
// tables (background): code blue, CUS orange, free pale green, RAI sectors by
// state, trace purple, E2P teal; in the CUS area each record kind its own.
constexpr const char *kStyle = R"css(
:root{--code:#3d6fb4;--cus:#e08a1e;--free:#dcefd9;--formatted:#7fb36a;--erased:#ffffff;--spare:#f2c94c;
--damaged:#d0312d;--trace:#8e7cc3;--e2p:#3f8f8a;--flash:#eef0f3;--ok:#2e7d32;--warn:#c77700;--bad:#c62828;
--cus-head:#3b2a1a;--rec-dsp:#b85c9e;--rec-mcp:#a0522d;--rec-cus:#e08a1e;--cus-fill:#e3e6ea}
body{font:14px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,sans-serif;color:#1d232b;margin:0 auto;
padding:18px 28px 40px;max-width:1560px;background:#fafbfc}
h1{font-size:24px;margin:0}h2{font-size:17px;margin:22px 0 8px}h3{font-size:14px;margin:0 0 4px}
.sub{margin:2px 0 2px;color:#4a5563}
code{font:12px ui-monospace,"DejaVu Sans Mono",Menlo,monospace}
.status{padding:8px 12px;border-radius:6px;margin:6px 0}
.status.ok{background:#e6f4e7;border-left:5px solid var(--ok)}.status.bad{background:#fdeaea;border-left:5px solid var(--bad)}
.status.info{background:#e9f0fb;border-left:5px solid var(--code)}
.top{display:flex;gap:24px;align-items:flex-start;flex-wrap:wrap}
.top .map{flex:1 1 760px;min-width:min(760px,100%);overflow-x:auto}.top aside{flex:0 1 340px}
svg{width:100%;height:auto;display:block;background:#fff;border:1px solid #d5dae1;border-radius:6px}
svg text{fill:#2b333d}svg .tick{fill:#5b6572}
svg .inlabel{fill:#fff;font-weight:600}
.flash{fill:var(--flash)}.code{fill:var(--code)}.cus{fill:var(--cus)}.free{fill:var(--free)}
.rai{fill:var(--formatted)}.trace{fill:var(--trace)}.e2p{fill:var(--e2p)}
.rai-sector{stroke:#fff;stroke-width:.6}.s-formatted{fill:var(--formatted)}.s-erased{fill:var(--erased);stroke:#b8c0ca}
.s-spare{fill:var(--spare)}.s-damaged{fill:var(--damaged)}.fill{fill:#1f4d1a;fill-opacity:.45;pointer-events:none}
.cus-head{fill:var(--cus-head)}.rec-dsp{fill:var(--rec-dsp)}.rec-mcp{fill:var(--rec-mcp)}.rec-cus{fill:var(--rec-cus)}
.cus-fill{fill:var(--cus-fill)}
.grid{stroke:#000;stroke-opacity:.16;stroke-width:.6}.edge{stroke:#39424e;stroke-width:1.2}.lead{stroke:#9aa3ad;stroke-width:.8}
rect:hover{stroke:#111;stroke-width:1.2}
h3.strip{margin:14px 0 4px;font-weight:600}h3.strip span{font-weight:400;color:#4a5563}
.legend{display:flex;flex-wrap:wrap;gap:6px 16px;margin:8px 2px;color:#3a434e;font-size:13px}
.sw{display:inline-block;width:12px;height:12px;border-radius:2px;margin-right:5px;vertical-align:-1px;border:1px solid #c3cad3}
.sw.code{background:var(--code)}.sw.cus{background:var(--cus)}.sw.free{background:var(--free)}
.sw.formatted{background:var(--formatted)}.sw.erased{background:var(--erased)}.sw.spare{background:var(--spare)}
.sw.damaged{background:var(--damaged)}.sw.fill{background:#5d7a56}.sw.trace{background:var(--trace)}.sw.e2p{background:var(--e2p)}
.sw.cus-head{background:var(--cus-head)}.sw.rec-dsp{background:var(--rec-dsp)}.sw.rec-mcp{background:var(--rec-mcp)}
.sw.rec-cus{background:var(--rec-cus)}.sw.cus-fill{background:var(--cus-fill)}
.facts{margin:0 0 8px;color:#4a5563}
.card{background:#fff;border:1px solid #d5dae1;border-left:6px solid var(--ok);border-radius:6px;padding:8px 12px;margin:0 0 10px}
.card.warn{border-left-color:var(--warn);background:#fff8ec}.card.bad{border-left-color:var(--bad);background:#fff1f1}
.card .figure{font-size:20px;font-weight:600;margin:0}.card.ok .figure{color:var(--ok)}
.card.warn .figure{color:var(--warn)}.card.bad .figure{color:var(--bad)}.card p{margin:2px 0}.card ul{margin:4px 0;padding-left:18px}
table{border-collapse:collapse;background:#fff;margin:4px 0 8px;font-size:13px}
th,td{border:1px solid #dde2e8;padding:3px 8px;text-align:left;vertical-align:top}th{background:#f0f2f5;font-weight:600}
table.files{width:100%}code.sha{font-size:11px;word-break:break-all}
.unused{color:#8a5a00}.bad{color:var(--bad)}.none{color:#5b6572}
.pair{display:flex;gap:24px;flex-wrap:wrap;align-items:flex-start}
details{background:#fff;border:1px solid #d5dae1;border-radius:6px;padding:6px 12px;margin:0 0 8px}
summary{cursor:pointer;font-weight:600}pre.log{font:12px ui-monospace,"DejaVu Sans Mono",monospace;max-height:480px;overflow:auto}
)css";

} // namespace

std::string pageStyle() {
    return kStyle + strprintf("svg{min-width:%.0fpx}svg text{font:%.0fpx system-ui,sans-serif}\n", kMinDrawingPixels,
                              kTextSize);
}

} // namespace qvcli
