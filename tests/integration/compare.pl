#!/usr/bin/env perl
# SPDX-License-Identifier: Apache-2.0
# Compares what the SQL engines returned with what the tool printed; the files are those run.sh
# and engine.sh describe. Usage: compare.pl WORK_DIR ENGINE... (the engines that ran).
#   - The grouping check: the groups each dialect's expression made with the tool's groups.
#   - The query check: each engine's query of each case (out-query-ENGINE.tsv) with the tool's
#     lines (query/CASE.csv, with a header line), line by line, so the order counts too: period,
#     keys, count and n exactly; min, max, first and last as the same number (ClickHouse: within
#     one unit in the last place, as its text reader reads some decimals such as -6.81 one unit
#     off); the other aggregates within 1e-9 of the larger magnitude (at least 1); an empty field
#     (NULL) only where one is expected.
# Prints one line per dialect and per query case, and the first differences of each mismatch;
# exits 1 on any mismatch.
use strict;
use warnings;

my ($work, @engines) = @ARGV;
my %engine_of = (oracle => 'postgresql', postgresql => 'postgresql', to_char => 'postgresql',
                 clickhouse => 'clickhouse', duckdb => 'duckdb');
my %ran = map { $_ => 1 } @engines;
my $failed = 0;

sub read_lines {
    my ($file) = @_;
    open(my $in, '<', "$work/$file") or die "compare.pl: cannot read $file: $!\n";
    chomp(my @lines = <$in>);
    return @lines;
}

# Prints a mismatch and its first differences.
sub mismatch {
    my ($what, @differ) = @_;
    $failed++;
    print "MISMATCH $what\n";
    print "  $_\n" for grep defined, @differ[0 .. 5];
}

# ---- The grouping check ---------------------------------------------------------------------
# Every group of every file by its first three fields (the tool's code, start of week and src;
# an engine's dialect, expression id and src), as "period start<TAB>station<TAB>sorted lines".
my %groups;
for my $file ('tool', map { "out-$_" } @engines) {
    open(my $in, '<', "$work/$file.tsv") or die "compare.pl: cannot read $file.tsv: $!\n";
    while (my $line = <$in>) {
        chomp $line;
        my @f = split /\t/, $line, -1;
        my $lines = join(',', sort { $a <=> $b } split /,/, pop @f);
        push @{$groups{join("\t", splice(@f, 0, 3))}}, join("\t", @f, $lines);
    }
}
my (%checked, %groups_of, %refused);
for my $line (read_lines('combos.tsv')) {
    my ($dialect, $code, $sow, $id, $flag) = split /\t/, $line;
    next unless $ran{$engine_of{$dialect}};
    $refused{$dialect} += $flag eq 'refused';
    next if $flag eq 'refused';
    for my $src ('b', 's') {
        my @want = @{$groups{"$code\t$sow\t$src"} // []};
        my @got = @{$groups{"$dialect\t$id\t$src"} // []};
        # The classic text is no timestamp: only the rows of each group count.
        if ($dialect eq 'to_char') { s/^[^\t]*\t// for @want, @got; }
        # Groups the tool has more often than SQL count up, the others down.
        my %surplus;
        $surplus{$_}++ for @want;
        $surplus{$_}-- for @got;
        my @differ = grep { $surplus{$_} } sort keys %surplus;
        $checked{$dialect}++;
        $groups_of{$dialect} += @want;
        my $what = "$dialect, period $code, start of week $sow, " .
                   ($src eq 'b' ? 'boundary readings' : 'sample');
        mismatch("$what: " . @differ . " of the tool's " . @want . " and SQL's " . @got .
                 " groups differ", map { ($surplus{$_} > 0 ? 'tool: ' : 'SQL:  ') . $_ } @differ)
            if $flag eq 'exact' && @differ;
        mismatch("$what: the tool warns that the expression groups otherwise, but the boundary " .
                 "readings group the same") if $flag eq 'inexact' && $src eq 'b' && !@differ;
    }
}
for my $dialect (sort keys %checked) {
    print "$dialect on $engine_of{$dialect}: $checked{$dialect} period/start/data set checks " .
          "($groups_of{$dialect} groups), $refused{$dialect} refused by the tool\n";
}

# ---- The query check ------------------------------------------------------------------------
# How a column is compared, by its name.
sub kind_of {
    my ($name, $index, $keys) = @_;
    return 'text' if $index <= $keys;
    return 'exact' if $name =~ /^(count|n_.*)$/;
    return 'number' if $name =~ /^(min|max|first|last)_/;
    return 'close';
}

sub same {
    my ($kind, $want, $got, $engine) = @_;
    $got = '' if $got eq '\N';
    return $want eq $got if $kind eq 'text' || $want eq '' || $got eq '';
    return $want == $got if $kind eq 'exact';
    return $want == $got || ($engine eq 'clickhouse' && abs($want - $got) <= 2.3e-16 * abs($want))
        if $kind eq 'number';
    my $scale = 1;
    $scale = abs($_) > $scale ? abs($_) : $scale for $want, $got;
    return abs($want - $got) <= 1e-9 * $scale;
}

my @cases = map { m{/([^/.]+)\.csv$} ? $1 : () } glob("$work/query/*.csv");
for my $engine (@cases ? @engines : ()) {
    # The engine's rows of each case, after its "#query CASE.DIALECT" line; each engine runs the
    # queries of the dialect of its name.
    my (%rows, $case);
    for my $line (read_lines("out-query-$engine.tsv")) {
        if ($line =~ /^#query (\S+)$/) { $case = $1; $rows{$case} = []; next; }
        push @{$rows{$case}}, [split /\t/, $line, -1] if defined $case;
    }
    for my $name (@cases) {
        my @want = read_lines("query/$name.csv");
        my @header = split /,/, shift @want;
        my $keys = (grep { $header[$_] eq 'count' || $header[$_] =~ /_/ } 0 .. $#header)[0] - 1;
        my @got = @{$rows{"$name.$engine"} // []};
        my @differ;
        push @differ, "no result" unless $rows{"$name.$engine"};
        push @differ, "SQL gave " . @got . " lines, expected " . @want if @got != @want;
        for my $i (0 .. ($#want < $#got ? $#want : $#got)) {
            my @w = split /,/, $want[$i], -1;
            for my $c (0 .. $#header) {
                my ($a, $b) = ($w[$c] // '', $got[$i][$c] // '<none>');
                push @differ, "line " . ($i + 1) . " $header[$c]: expected '$a', SQL '$b'"
                    unless same(kind_of($header[$c], $c, $keys), $a, $b, $engine);
            }
        }
        my $what = "query $name.$engine on $engine: " . @want . " lines";
        if (@differ) { mismatch("$what: " . @differ . " differences", @differ); }
        else { print "$what, " . @header . " columns: as expected\n"; }
    }
}
exit($failed ? 1 : 0);
