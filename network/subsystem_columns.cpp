#include "network/subsystem_columns.h"

SubsystemColumns SUBSYSTEM_COLUMNS_KEPT;

const SubsystemColumns& take_subsystem_columns(int32_t ss) {
    SubsystemColumns& c = SUBSYSTEM_COLUMNS_KEPT;
    NetworkTables& N = NET;
    const int64_t overruns = array_overrun_count();
    c.vnode = column(N.VNODE, ss);
    c.chist = column(N.CHIST, ss);
    c.chistd = column(N.CHISTD, ss);
    c.tlinj = column(N.TLINJ, ss);
    c.tlinjd = column(N.TLINJ_OLD, ss);
    c.cnor = column(N.CNOR, ss);
    c.cnord = column(N.CNORD, ss);
    c.gnor = column(N.GNOR, ss);
    c.gnord = column(N.GNORD, ss);
    c.norbus = column(N.NORBUS, ss);
    c.chatcntv = column(N.CHATCNTV, ss);
    c.ief = column(N.IEF, ss);
    c.iet = column(N.IET, ss);
    c.thisbr = column(N.THISBR, ss);
    c.iorv = column(N.IORV, ss);
    c.swlist = column(N.SWLIST, ss);
    c.chatcnti = column(N.CHATCNTI, ss);
    c.source = column(N.SOURCE, ss);
    c.idealbr = column(N.IDEALBR, ss);
    c.defrdbr = column(N.DEFRDBR, ss);
    c.geq = column(N.GEQ, ss);
    c.geqd = column(N.GEQD, ss);
    c.cbr = column(N.CBR, ss);
    c.ccbr = column(N.CCBR, ss);
    c.ccbrd = column(N.CCBRD, ss);
    c.ccl = column(N.CCL, ss);
    c.ccld = column(N.CCLD, ss);
    c.ccc = column(N.CCC, ss);
    c.cccd = column(N.CCCD, ss);
    c.v12l = column(N.V12L, ss);
    c.v20l = column(N.V20L, ss);
    c.rcl = column(N.RCL, ss);
    c.rlg = column(N.RLG, ss);
    c.rsc = column(N.RSC, ss);
    c.rcg = column(N.RCG, ss);
    c.rsl = column(N.RSL, ss);
    c.g2l = column(N.G2L, ss);
    c.g2c = column(N.G2C, ss);
    c.ebr = column(N.EBR, ss);
    c.ebrd = column(N.EBRD, ss);
    c.swval = column(N.SWVAL, ss);
    c.tswitch = column(N.TSWITCH, ss);
    c.vsol = column(N.VSOL);
    c.cinj = column(N.CINJ);
    c.cbrt = column(N.CBRT);
    c.brchg = column(N.BRCHG);
    c.norchg = column(N.NORCHG);
    c.swpend = column(N.SWPEND);
    c.swcount = column(N.SWCOUNT);
    // A subsystem outside a table is noted on every call, as column() notes it.
    c.ss = array_overrun_count() == overruns ? ss : 0;
    c.layouts = farray_layouts();
    return c;
}
